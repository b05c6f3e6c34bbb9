// A create builder for the benchmarks: it reads every file's tags as a create does and keeps
// nothing, so a create run through it times the scan and the tag readers without the library
// engine. It writes nothing to the drive. tags_only.cc hands it to a run in place of the real
// create builder.
#pragma once

#include <memory>

#include "run/builders.h"

namespace deltrix::bench {

// The library's builders with the create builder replaced by the tag-reading one.
run::BuilderFactories TagReadingBuilders();

}  // namespace deltrix::bench

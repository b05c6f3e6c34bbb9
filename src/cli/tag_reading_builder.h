// A create builder for the benchmarks: it reads every file's tags as a create does and keeps
// nothing, so a create run through it times the scan and the tag readers without the library
// engine. It writes nothing to the drive. The console hands it to the run in place of the real
// create builder when the environment variable DELTRIX_BENCH_TAGS_ONLY is "1" (see commands.cc);
// nothing else uses it.
#pragma once

#include <memory>

#include "run/builders.h"

namespace deltrix::cli {

// The environment variable that switches a console create to tag reading alone.
inline constexpr const char* kTagsOnlyVariable = "DELTRIX_BENCH_TAGS_ONLY";

// The library's builders with the create builder replaced by the tag-reading one.
run::BuilderFactories TagReadingBuilders();

}  // namespace deltrix::cli

// The run's builders backed by the real library engine and tag readers: what a front-end hands a
// RunController. Tests hand it doubles instead.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "run/backup.h"
#include "run/builders.h"

namespace deltrix::run {

std::unique_ptr<CreateBuilder> MakeCreateBuilder(const BuilderRequest& request);
// Create and (once the update engine is there) update builders together.
BuilderFactories LibraryBuilders();
// The structural check of the library reader, used to recover a library after a killed run. It
// leaves the statistics out: an update counts some of them differently, and only a broken
// structure means a half-written library.
LibraryCheck LibraryCheckFor(platform::FileSystem& files);

}  // namespace deltrix::run

// The run's builders backed by the real library engine and tag readers: what a front-end hands a
// RunController. Tests hand it doubles instead.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "run/backup.h"
#include "run/builders.h"

namespace deltrix::run {

std::unique_ptr<CreateBuilder> MakeCreateBuilder(const BuilderRequest& request);
// An update builder over CLibraryUpdater; the file-system kind of the request is not used (the
// update's engine always marks its context NTFS).
std::unique_ptr<UpdateBuilder> MakeUpdateBuilder(const BuilderRequest& request);
// Create and update builders together.
BuilderFactories LibraryBuilders();
// The structural check of the library reader, used to recover a library after a killed run. It
// leaves the statistics out: only a broken structure means a half-written library.
LibraryCheck LibraryCheckFor(platform::FileSystem& files);

}  // namespace deltrix::run

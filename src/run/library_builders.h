// The run's builders backed by the real library engine and tag readers: what a front-end hands a
// RunController. Tests hand it doubles instead.
#pragma once

#include <memory>

#include "library/library_creator.h"
#include "platform/platform.h"
#include "run/backup.h"
#include "run/builders.h"

namespace deltrix::run {

// The builders over CLibraryCreator and CLibraryUpdater. The library is the same on every file
// system: the request's file-system kind is not used.
std::unique_ptr<CreateBuilder> MakeCreateBuilder(const BuilderRequest& request);
std::unique_ptr<UpdateBuilder> MakeUpdateBuilder(const BuilderRequest& request);
// Create and update builders together. Tests shrink the create's pool to make batches fill after
// a few tracks.
BuilderFactories LibraryBuilders(library::CreatorOptions createMemory = {});
// The structural check of the library reader, used to recover a library after a killed run. It
// leaves the statistics out: only a broken structure means a half-written library.
LibraryCheck LibraryCheckFor(platform::FileSystem& files);

}  // namespace deltrix::run

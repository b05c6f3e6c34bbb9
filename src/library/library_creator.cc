#include "library/library_creator.h"

#include "base/error_code.h"

namespace deltrix::library {

int CLibraryCreator::Finish() {
  if (!build_.IsOpen() || build_.ctx().batchesWritten == 0) return CreateDataFailed;
  return build_.WriteFinalFiles(build_.batchWritten());
}

}  // namespace deltrix::library

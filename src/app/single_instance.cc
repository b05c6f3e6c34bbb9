#include "app/single_instance.h"

#include "base/utf16.h"

namespace deltrix::app {

std::u16string InstanceKey(std::string_view executablePath) {
  const size_t slash = executablePath.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return FromUtf8(name);
}

std::unique_ptr<platform::Lock> TakeInstanceLock(platform::Locks& locks,
                                                 std::string_view executablePath) {
  return locks.TryLock(InstanceKey(executablePath));
}

}  // namespace deltrix::app

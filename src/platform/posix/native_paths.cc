#include "platform/posix/native_paths.h"

#include <unistd.h>

#include <cstdlib>

namespace deltrix::platform::posix {

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return {};
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::string CanonicalPath(std::string path) {
  if (path.empty()) return {};
  if (path.front() != '/') {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return {};
    path = std::string(cwd) + "/" + path;
    std::free(cwd);
  }
  std::string real = RealPath(path);
  if (!real.empty()) return real;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || path == "/") return {};
  const std::string leaf = path.substr(slash + 1);
  std::string base = CanonicalPath(slash == 0 ? std::string("/") : path.substr(0, slash));
  if (base.empty()) return {};
  if (leaf.empty() || leaf == ".") return base;
  if (leaf == "..") {
    const size_t up = base.rfind('/');
    return up == 0 || up == std::string::npos ? std::string("/") : base.substr(0, up);
  }
  return base == "/" ? "/" + leaf : base + "/" + leaf;
}

std::optional<std::string_view> Below(std::string_view folder, std::string_view path) {
  if (folder == "/") return path.starts_with('/') ? std::optional(path.substr(1)) : std::nullopt;
  if (!path.starts_with(folder)) return std::nullopt;
  if (path.size() == folder.size()) return std::string_view();
  if (path[folder.size()] != '/') return std::nullopt;
  return path.substr(folder.size() + 1);
}

std::optional<std::vector<std::u16string_view>> DrivePathNames(std::u16string_view rest) {
  std::vector<std::u16string_view> names;
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && rest[end] != u'\\' && rest[end] != u'/') ++end;
    const std::u16string_view name = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
    if (name.empty() || name == u".") continue;
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace deltrix::platform::posix

#include "library/library_files.h"

#include <algorithm>

#include "platform/platform.h"

namespace deltrix::library {

namespace {

// A path under construction in a fixed buffer, as the engine keeps them (no allocation per open).
class PathBuffer {
 public:
  bool Append(std::u16string_view text) {
    if (text.size() > kPathUnits - 1 - size_) {
      ok_ = false;
      return false;
    }
    std::copy(text.begin(), text.end(), units_ + size_);
    size_ += text.size();
    return true;
  }
  bool ok() const { return ok_; }
  std::u16string_view view() const { return {units_, size_}; }

 private:
  char16_t units_[kPathUnits] = {};
  size_t size_ = 0;
  bool ok_ = true;
};

// Builds root + "KORVANE\LIBRARY" in `path`, creating the folders when asked.
bool BuildFolder(platform::FileSystem* files, std::u16string_view root, PathBuffer* path) {
  if (!path->Append(root) || !path->Append(kDeviceFolder)) return false;
  if (files != nullptr && files->Attributes(path->view()) == platform::kNoAttributes) {
    if (!files->MakeFolder(path->view())) return false;
    if (!files->SetAttributes(path->view(), platform::kAttrHidden | platform::kAttrDirectory))
      return false;
  }
  if (!path->Append(u"\\") || !path->Append(kLibraryFolder)) return false;
  if (files != nullptr && files->Attributes(path->view()) == platform::kNoAttributes) {
    if (!files->MakeFolder(path->view())) return false;
  }
  return true;
}

bool BuildFilePath(platform::FileSystem* files, std::u16string_view root, std::u16string_view name,
                   PathBuffer* path) {
  return BuildFolder(files, root, path) && path->Append(u"\\") && path->Append(name);
}

}  // namespace

std::u16string LibraryFilePath(std::u16string_view root, std::u16string_view name) {
  PathBuffer path;
  if (!BuildFilePath(nullptr, root, name, &path)) return {};
  return std::u16string(path.view());
}

std::unique_ptr<platform::File> OpenLibraryFile(platform::FileSystem& files,
                                                std::u16string_view root, std::u16string_view name,
                                                const char* mode) {
  PathBuffer path;
  if (!BuildFilePath(&files, root, name, &path)) return nullptr;
  return files.Open(path.view(), mode);
}

int DeleteLibraryFile(platform::FileSystem& files, std::u16string_view root,
                      std::u16string_view name) {
  PathBuffer path;
  if (!BuildFilePath(nullptr, root, name, &path)) return -1;
  return files.RemoveFile(path.view()) ? 0 : -1;
}

int ReplaceLibraryFile(platform::FileSystem& files, std::u16string_view root,
                       std::unique_ptr<platform::File>* open, std::u16string_view from,
                       std::u16string_view to) {
  if (open != nullptr && *open) {
    const bool closed = (*open)->Close();
    open->reset();
    if (!closed) return -1;  // its data did not all reach the file: do not put it in place
  }
  PathBuffer source;
  PathBuffer target;
  if (!BuildFilePath(nullptr, root, from, &source) || !BuildFilePath(nullptr, root, to, &target))
    return -1;
  return files.Replace(source.view(), target.view()) ? 0 : -1;
}

}  // namespace deltrix::library

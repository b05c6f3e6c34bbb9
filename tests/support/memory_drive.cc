#include "support/memory_drive.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "base/utf16.h"

namespace deltrix::testing {

using platform::DirEntry;
using platform::SeekFrom;

namespace {

class MemoryFile : public platform::File {
 public:
  MemoryFile(MemoryFileSystem* fs, std::u16string path, std::shared_ptr<Bytes> data, bool canRead,
             bool canWrite, bool append)
      : fs_(fs),
        path_(std::move(path)),
        data_(std::move(data)),
        canRead_(canRead),
        canWrite_(canWrite),
        append_(append) {}

  size_t Read(void* dst, size_t size) override {
    if (closed_ || !canRead_ || (fs_ && fs_->Fails("read", path_))) return 0;
    if (pos_ >= data_->size()) return 0;
    const size_t n = std::min(size, data_->size() - pos_);
    std::memcpy(dst, data_->data() + pos_, n);
    pos_ += n;
    return n;
  }
  size_t Write(const void* src, size_t size) override {
    if (closed_ || !canWrite_ || (fs_ && fs_->Fails("write", path_))) return 0;
    if (append_) pos_ = data_->size();
    if (data_->size() < pos_ + size) data_->resize(pos_ + size);
    if (size > 0) std::memcpy(data_->data() + pos_, src, size);  // an empty file has no data yet
    pos_ += size;
    if (fs_ && path_ != MemoryFileSystem::kScratchPath) fs_->CountWritten(size);
    return size;
  }
  bool Seek(int64_t offset, SeekFrom from) override {
    if (closed_ || (fs_ && fs_->Fails("seek", path_))) return false;
    int64_t base = 0;
    if (from == SeekFrom::Current) base = static_cast<int64_t>(pos_);
    if (from == SeekFrom::End) base = static_cast<int64_t>(data_->size());
    if (base + offset < 0) return false;
    pos_ = static_cast<size_t>(base + offset);
    return true;
  }
  int64_t Tell() override { return closed_ ? -1 : static_cast<int64_t>(pos_); }
  bool Close() override {
    if (closed_) return false;
    closed_ = true;
    return !(fs_ && canWrite_ && fs_->Fails("close", path_));
  }

 private:
  MemoryFileSystem* fs_;
  std::u16string path_;
  std::shared_ptr<Bytes> data_;
  bool canRead_, canWrite_, append_;
  size_t pos_ = 0;
  bool closed_ = false;
};

class MemoryListing : public platform::DirListing {
 public:
  explicit MemoryListing(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}
  bool Next(DirEntry* entry) override {
    if (next_ >= entries_.size()) return false;
    *entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<DirEntry> entries_;
  size_t next_ = 0;
};

std::u16string_view StripPattern(std::u16string_view folder) {
  if (folder.ends_with(u"*.*")) folder.remove_suffix(3);
  return folder;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() = default;

std::u16string MemoryFileSystem::Key(std::u16string_view path) {
  // Upper-cased ASCII, single separators, no trailing separator except on the root ("E:").
  std::u16string key;
  for (char16_t c : path) {
    if (c == u'/') c = u'\\';
    if (c == u'\\' && !key.empty() && key.back() == u'\\') continue;
    key.push_back(AsciiUpper(c));
  }
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}

std::u16string MemoryFileSystem::ParentKey(const std::u16string& key) {
  const size_t slash = key.rfind(u'\\');
  return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}

bool MemoryFileSystem::Fails(std::string_view op, std::u16string_view path) {
  return fault_ && fault_(op, path);
}

void MemoryFileSystem::Note(std::string what, std::u16string_view path) {
  mutations_.push_back(what + " " + ToUtf8(path));
}

MemoryFileSystem::Node* MemoryFileSystem::Find(std::u16string_view path) {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}
const MemoryFileSystem::Node* MemoryFileSystem::Find(std::u16string_view path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::ParentIsFolder(const std::u16string& key) const {
  const std::u16string parent = ParentKey(key);
  if (parent.find(u'\\') == std::u16string::npos) return !ejected_;  // the drive root ("E:")
  auto it = nodes_.find(parent);
  return it != nodes_.end() && it->second.folder;
}

MemoryFileSystem::Node& MemoryFileSystem::Insert(const std::u16string& key,
                                                 std::u16string_view path, bool folder) {
  Node& node = nodes_[key];
  std::u16string_view name = path;
  while (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) name.remove_suffix(1);
  const size_t slash = name.find_last_of(u"\\/");
  if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
  node.name = std::u16string(name);
  node.folder = folder;
  node.order = nextOrder_++;
  if (!folder && !node.data) node.data = std::make_shared<Bytes>();
  return node;
}

void MemoryFileSystem::AddFolder(std::u16string_view path, uint32_t attributes) {
  std::lock_guard lock(mu_);
  const std::u16string key = Key(path);
  if (key.find(u'\\') == std::u16string::npos) return;  // the root always exists
  const std::u16string parent = ParentKey(key);
  if (parent.find(u'\\') != std::u16string::npos && !nodes_.count(parent)) {
    AddFolder(path.substr(0, path.find_last_of(u"\\/", path.size() - 2)), 0);
  }
  const bool existed = nodes_.count(key) != 0;
  if (!existed) Insert(key, path, true);
  if (!existed || attributes) nodes_[key].attributes = attributes | platform::kAttrDirectory;
}

void MemoryFileSystem::AddFile(std::u16string_view path, const Bytes& data, uint32_t attributes) {
  std::lock_guard lock(mu_);
  const std::u16string key = Key(path);
  const size_t slash = path.find_last_of(u"\\/");
  if (slash != std::u16string_view::npos && ParentKey(key).find(u'\\') != std::u16string::npos) {
    AddFolder(path.substr(0, slash), 0);
  }
  Node& node = Insert(key, path, false);
  node.attributes = attributes;
  node.data = std::make_shared<Bytes>(data);
}

void MemoryFileSystem::AddFile(std::u16string_view path, std::string_view data,
                               uint32_t attributes) {
  AddFile(path, Bytes(data.begin(), data.end()), attributes);
}

bool MemoryFileSystem::Exists(std::u16string_view path) const {
  std::lock_guard lock(mu_);
  return Find(path) != nullptr;
}

Bytes MemoryFileSystem::Contents(std::u16string_view path) const {
  std::lock_guard lock(mu_);
  const Node* node = Find(path);
  return node && node->data ? *node->data : Bytes();
}

std::vector<std::u16string> MemoryFileSystem::Names(std::u16string_view folder) const {
  std::lock_guard lock(mu_);
  const std::u16string parent = Key(StripPattern(folder));
  std::vector<const Node*> found;
  for (const auto& [key, node] : nodes_) {
    if (ParentKey(key) == parent) found.push_back(&node);
  }
  std::sort(found.begin(), found.end(),
            [](const Node* a, const Node* b) { return a->order < b->order; });
  std::vector<std::u16string> names;
  for (const Node* n : found) names.push_back(n->name);
  return names;
}

std::unique_ptr<platform::File> MemoryFileSystem::Open(std::u16string_view path, const char* mode) {
  if (Fails("open", path)) return nullptr;
  std::lock_guard lock(mu_);
  const std::string_view m(mode);
  const bool read = m[0] == 'r' || m.find('+') != std::string_view::npos;
  const bool write = m[0] != 'r' || m.find('+') != std::string_view::npos;
  const std::u16string key = Key(path);
  Node* node = Find(path);
  if (node && node->folder) return nullptr;
  if (m[0] == 'r') {
    if (!node) return nullptr;
  } else {
    if (!ParentIsFolder(key)) return nullptr;
    if (!node) node = &Insert(key, path, false);
    if (m[0] == 'w') node->data = std::make_shared<Bytes>();
  }
  if (write) {
    ++writeOpens_;
    Note(std::string("open ") + mode, path);
  }
  return std::make_unique<MemoryFile>(this, std::u16string(path), node->data, read, write,
                                      m[0] == 'a');
}

std::unique_ptr<platform::DirListing> MemoryFileSystem::List(std::u16string_view folder) {
  folder = StripPattern(folder);
  if (Fails("list", folder)) return nullptr;
  std::lock_guard lock(mu_);
  const std::u16string key = Key(folder);
  if (ejected_) return nullptr;
  if (key.find(u'\\') != std::u16string::npos) {
    const Node* node = Find(folder);
    if (!node || !node->folder) return nullptr;
  }
  std::vector<DirEntry> entries;
  entries.push_back({u".", platform::kAttrDirectory});
  entries.push_back({u"..", platform::kAttrDirectory});
  std::vector<const Node*> found;
  for (const auto& [k, node] : nodes_) {
    if (ParentKey(k) == key) found.push_back(&node);
  }
  std::sort(found.begin(), found.end(),
            [](const Node* a, const Node* b) { return a->order < b->order; });
  for (const Node* n : found) {
    entries.push_back(
        {n->name, n->attributes, false, listsTimes ? n->modified : platform::kNoTime});
    // A name holding a replacement character stands for one the system cannot turn into text.
    entries.back().unmappable = n->name.find(u'\uFFFD') != std::u16string::npos;
  }
  return std::make_unique<MemoryListing>(std::move(entries));
}

uint32_t MemoryFileSystem::Attributes(std::u16string_view path) {
  if (Fails("attr", path)) return platform::kNoAttributes;
  std::lock_guard lock(mu_);
  if (ejected_) return platform::kNoAttributes;
  const std::u16string key = Key(path);
  if (key.find(u'\\') == std::u16string::npos) return platform::kAttrDirectory;
  const Node* node = Find(path);
  return node ? node->attributes : platform::kNoAttributes;
}

int64_t MemoryFileSystem::ModifiedTime(std::u16string_view path) {
  if (Fails("time", path)) return platform::kNoTime;
  std::lock_guard lock(mu_);
  const Node* node = Find(path);
  return node ? node->modified : platform::kNoTime;
}

void MemoryFileSystem::SetModifiedTime(std::u16string_view path, int64_t time) {
  std::lock_guard lock(mu_);
  if (Node* node = Find(path)) node->modified = time;
}

bool MemoryFileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  if (Fails("setattr", path)) return false;
  std::lock_guard lock(mu_);
  Node* node = Find(path);
  if (!node) return false;
  Note("setattr", path);
  node->attributes =
      (attributes & ~platform::kAttrDirectory) | (node->folder ? platform::kAttrDirectory : 0);
  return true;
}

bool MemoryFileSystem::MakeFolder(std::u16string_view path) {
  if (Fails("mkdir", path)) return false;
  std::lock_guard lock(mu_);
  const std::u16string key = Key(path);
  if (nodes_.count(key) || !ParentIsFolder(key)) return false;
  Note("mkdir", path);
  Insert(key, path, true).attributes = platform::kAttrDirectory;
  return true;
}

bool MemoryFileSystem::RemoveFile(std::u16string_view path) {
  if (Fails("remove", path)) return false;
  std::lock_guard lock(mu_);
  Node* node = Find(path);
  if (!node || node->folder) return false;
  Note("remove", path);
  nodes_.erase(Key(path));
  return true;
}

bool MemoryFileSystem::Move(std::u16string_view from, std::u16string_view to) {
  if (Fails("move", from)) return false;
  std::lock_guard lock(mu_);
  Node* src = Find(from);
  const std::u16string toKey = Key(to);
  if (!src || src->folder || nodes_.count(toKey) || !ParentIsFolder(toKey)) return false;
  Note("move " + ToUtf8(from) + " ->", to);
  Node moved = *src;
  nodes_.erase(Key(from));
  Node& dst = Insert(toKey, to, false);
  dst.data = moved.data;
  dst.attributes = moved.attributes;
  return true;
}

bool MemoryFileSystem::Replace(std::u16string_view from, std::u16string_view to) {
  if (Fails("replace", from)) return false;
  std::lock_guard lock(mu_);
  Node* src = Find(from);
  const std::u16string toKey = Key(to);
  if (!src || src->folder || !ParentIsFolder(toKey)) return false;
  if (Node* existing = Find(to); existing && existing->folder) return false;
  Note("replace " + ToUtf8(from) + " ->", to);
  Node moved = *src;
  nodes_.erase(Key(from));
  nodes_.erase(toKey);
  Node& dst = Insert(toKey, to, false);
  dst.data = moved.data;
  dst.attributes = moved.attributes;
  return true;
}

bool MemoryFileSystem::Copy(std::u16string_view from, std::u16string_view to) {
  if (Fails("copy", from)) return false;
  std::lock_guard lock(mu_);
  Node* src = Find(from);
  const std::u16string toKey = Key(to);
  if (!src || src->folder || !ParentIsFolder(toKey)) return false;
  if (Node* existing = Find(to); existing && existing->folder) return false;
  Note("copy " + ToUtf8(from) + " ->", to);
  auto data = std::make_shared<Bytes>(*src->data);
  bytesWritten_ += data->size();
  const uint32_t attributes = src->attributes;
  Node* dst = Find(to);
  if (!dst) dst = &Insert(toKey, to, false);
  dst->data = std::move(data);
  dst->attributes = attributes;
  return true;
}

std::unique_ptr<platform::File> MemoryFileSystem::OpenScratch() {
  if (Fails("open", kScratchPath)) return nullptr;
  ++scratchOpens_;
  return std::make_unique<MemoryFile>(this, std::u16string(kScratchPath), std::make_shared<Bytes>(),
                                      true, true, false);
}

// --- FakeDriveTable ---------------------------------------------------------------------------

namespace {
int LetterIndex(std::u16string_view root) {
  if (root.size() < 2 || root[1] != u':') return -1;
  const char16_t c = AsciiUpper(root[0]);
  return (c >= u'A' && c <= u'Z') ? c - u'A' : -1;
}
}  // namespace

void FakeDriveTable::Remove(char16_t letter) {
  std::lock_guard lock(mu_);
  std::erase_if(drives_, [&](const Drive& d) { return d.letter == letter; });
}

FakeDriveTable::Drive* FakeDriveTable::Get(char16_t letter) {
  for (Drive& d : drives_) {
    if (d.letter == letter) return &d;
  }
  return nullptr;
}

void FakeDriveTable::SetReadable(char16_t letter, bool readable) {
  std::lock_guard lock(mu_);
  for (Drive& d : drives_) {
    if (d.letter == letter) d.readable = readable;
  }
}

uint32_t FakeDriveTable::PresentDrives() {
  std::lock_guard lock(mu_);
  uint32_t mask = 0;
  for (const Drive& d : drives_) mask |= 1u << (d.letter - u'A');
  return mask;
}

bool FakeDriveTable::ReadVolume(std::u16string_view root, platform::VolumeInfo* info) {
  std::lock_guard lock(mu_);
  const int index = LetterIndex(root);
  for (const Drive& d : drives_) {
    if (d.letter - u'A' == index && d.readable) {
      if (info) *info = d.volume;
      return true;
    }
  }
  return false;
}

platform::DriveType FakeDriveTable::TypeOf(std::u16string_view root) {
  std::lock_guard lock(mu_);
  const int index = LetterIndex(root);
  for (const Drive& d : drives_) {
    if (d.letter - u'A' == index) return d.type;
  }
  return platform::DriveTypeNoRoot;
}

std::u16string FakeDriveTable::ToDrivePath(std::string_view userPath) {
  // "/mnt/e" -> "E:\", "/mnt/e/Music/a.mp3" -> "E:\Music\a.mp3"
  if (namesByRoot) return FromUtf8(userPath);
  if (!userPath.starts_with("/mnt/") || userPath.size() < 6) return {};
  std::u16string out;
  out.push_back(AsciiUpper(static_cast<char16_t>(userPath[5])));
  out += u":\\";
  std::u16string rest = FromUtf8(userPath.substr(std::min<size_t>(userPath.size(), 7)));
  for (char16_t& c : rest) {
    if (c == u'/') c = u'\\';
  }
  return out + rest;
}

std::string FakeDriveTable::ToUserPath(std::u16string_view drivePath) {
  if (namesByRoot) return ToUtf8(drivePath);
  if (drivePath.size() < 3) return ToUtf8(drivePath);
  std::string out = "/mnt/";
  out.push_back(static_cast<char>(AsciiLower(drivePath[0])));
  std::string rest = ToUtf8(drivePath.substr(2));
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (rest == "/") rest.clear();
  return out + rest;
}

size_t WideningCodec::Decode(uint32_t, std::span<const uint8_t> bytes, std::span<char16_t> out) {
  size_t n = 0;
  for (uint8_t b : bytes) {
    if (b == 0 || n == out.size()) break;
    out[n++] = b;
  }
  return n;
}

void FastClock::Sleep(int) { std::this_thread::yield(); }

class MemoryLock : public platform::Lock {
 public:
  MemoryLock(MemoryLocks* locks, std::u16string key) : locks_(locks), key_(std::move(key)) {}
  ~MemoryLock() override { locks_->held_.erase(key_); }

 private:
  MemoryLocks* locks_;
  std::u16string key_;
};

std::unique_ptr<platform::Lock> MemoryLocks::TryLock(std::u16string_view key) {
  std::u16string k(key);
  if (held_.count(k)) return nullptr;
  held_[k] = true;
  return std::make_unique<MemoryLock>(this, std::move(k));
}

MemoryPlatform::MemoryPlatform() {
  drives.Add({u'E', {u"MUSIC", 0x1234ABCD, u"FAT32"}, platform::DriveTypeRemovable, true});
}

std::unique_ptr<platform::File> MemoryReadFile(Bytes bytes) {
  return std::make_unique<MemoryFile>(nullptr, u"", std::make_shared<Bytes>(std::move(bytes)), true,
                                      false, false);
}

}  // namespace deltrix::testing

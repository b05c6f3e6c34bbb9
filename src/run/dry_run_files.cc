#include "run/dry_run_files.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/byte_order.h"
#include "base/utf16.h"
#include "library/library_files.h"
#include "library/library_format.h"
#include "library/track_record_view.h"

namespace deltrix::run {

namespace {

using platform::DirEntry;
using platform::kAttrDirectory;
using platform::kNoAttributes;
using Bytes = std::vector<uint8_t>;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Upper-cased ASCII, single separators, no trailing separator ("E:" for the drive root): the card
// compares names without regard to ASCII case.
std::u16string Key(std::u16string_view path) {
  std::u16string key;
  key.reserve(path.size());
  for (char16_t c : path) {
    if (IsSeparator(c)) {
      if (!key.empty() && key.back() == u'\\') continue;
      c = u'\\';
    }
    key.push_back(AsciiUpper(c));
  }
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}

bool IsRootKey(const std::u16string& key) { return key.find(u'\\') == std::u16string::npos; }

std::u16string ParentKey(const std::u16string& key) {
  const size_t slash = key.rfind(u'\\');
  return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}

std::u16string_view WithoutTrailingSeparators(std::u16string_view path) {
  while (path.size() > 3 && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

// The folder `path` is in, as the card names it ("E:\" for an entry of the root).
std::u16string ParentPath(std::u16string_view path) {
  path = WithoutTrailingSeparators(path);
  const size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos) return {};
  return std::u16string(path.substr(0, slash == 2 ? 3 : slash));
}

std::u16string EntryName(std::u16string_view path) {
  path = WithoutTrailingSeparators(path);
  const size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string_view WithoutPattern(std::u16string_view folder) {
  if (folder.ends_with(u"*.*")) folder.remove_suffix(3);
  return folder;
}

// A kept file, with the C runtime's semantics for its mode.
class KeptFile : public platform::File {
 public:
  KeptFile(std::shared_ptr<Bytes> data, bool canRead, bool canWrite, bool append)
      : data_(std::move(data)), canRead_(canRead), canWrite_(canWrite), append_(append) {}

  size_t Read(void* dst, size_t size) override {
    if (closed_ || !canRead_ || pos_ >= data_->size()) return 0;
    const size_t n = std::min(size, data_->size() - pos_);
    std::memcpy(dst, data_->data() + pos_, n);
    pos_ += n;
    return n;
  }
  size_t Write(const void* src, size_t size) override {
    if (closed_ || !canWrite_) return 0;
    if (append_) pos_ = data_->size();
    if (data_->size() < pos_ + size) data_->resize(pos_ + size);
    if (size > 0) std::memcpy(data_->data() + pos_, src, size);
    pos_ += size;
    return size;
  }
  bool Seek(int64_t offset, platform::SeekFrom from) override {
    if (closed_) return false;
    int64_t base = 0;
    if (from == platform::SeekFrom::Current) base = static_cast<int64_t>(pos_);
    if (from == platform::SeekFrom::End) base = static_cast<int64_t>(data_->size());
    if (base + offset < 0) return false;
    pos_ = static_cast<size_t>(base + offset);
    return true;
  }
  int64_t Tell() override { return closed_ ? -1 : static_cast<int64_t>(pos_); }
  bool Close() override {
    if (closed_) return false;
    closed_ = true;
    return true;
  }

 private:
  std::shared_ptr<Bytes> data_;
  bool canRead_, canWrite_, append_;
  size_t pos_ = 0;
  bool closed_ = false;
};

// A folder's entries as the overlay changed them: what the overlay holds for a name replaces the
// card's entry of that name (or hides it, for a name removed), and what the card lacks follows the
// card's entries in the order it was made.
struct OverlayEntry {
  std::u16string key;  // the name, upper-cased
  DirEntry entry;
  bool gone = false;
};

class MergedListing : public platform::DirListing {
 public:
  MergedListing(std::unique_ptr<platform::DirListing> card, std::vector<OverlayEntry> overlay)
      : card_(std::move(card)), overlay_(std::move(overlay)), used_(overlay_.size(), false) {
    if (!card_) dots_ = 2;  // a folder only the overlay holds lists "." and ".." as every folder
  }

  bool Next(DirEntry* entry) override {
    if (dots_ > 0) {
      *entry = {dots_-- == 2 ? u"." : u"..", kAttrDirectory};
      return true;
    }
    while (card_ && card_->Next(entry)) {
      if (entry->unmappable || entry->name == u"." || entry->name == u"..") return true;
      std::u16string key;
      for (char16_t c : entry->name) key.push_back(AsciiUpper(c));
      bool hidden = false;
      for (size_t i = 0; i < overlay_.size(); ++i) {
        if (overlay_[i].key != key) continue;
        used_[i] = true;
        hidden = overlay_[i].gone;
        entry->attributes = overlay_[i].entry.attributes;
      }
      if (!hidden) return true;
    }
    while (next_ < overlay_.size()) {
      const size_t i = next_++;
      if (used_[i] || overlay_[i].gone) continue;
      *entry = overlay_[i].entry;
      return true;
    }
    return false;
  }

 private:
  std::unique_ptr<platform::DirListing> card_;
  std::vector<OverlayEntry> overlay_;
  std::vector<bool> used_;
  size_t next_ = 0;
  int dots_ = 0;
};

}  // namespace

DryRunFileSystem::Node* DryRunFileSystem::Find(const std::u16string& key) {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

bool DryRunFileSystem::IsFolder(std::u16string_view path, const std::u16string& key) {
  if (const Node* node = Find(key)) return node->kind == Kind::Folder;
  if (IsRootKey(key)) return true;
  const uint32_t attributes = card_.Attributes(path);
  return attributes != kNoAttributes && (attributes & kAttrDirectory) != 0;
}

bool DryRunFileSystem::ParentIsFolder(std::u16string_view path, const std::u16string& key) {
  const std::u16string parent = ParentKey(key);
  return IsRootKey(parent) || IsFolder(ParentPath(path), parent);
}

DryRunFileSystem::Node& DryRunFileSystem::Put(const std::u16string& key, std::u16string_view path,
                                              Node node) {
  node.name = EntryName(path);
  node.order = nextOrder_++;
  Node& slot = nodes_[key];
  slot = std::move(node);
  return slot;
}

DryRunFileSystem::Node* DryRunFileSystem::FileNode(std::u16string_view path,
                                                   const std::u16string& key) {
  if (Node* node = Find(key)) return node->kind == Kind::File ? node : nullptr;
  if (IsRootKey(key)) return nullptr;
  const uint32_t attributes = card_.Attributes(path);
  if (attributes == kNoAttributes || (attributes & kAttrDirectory) != 0) return nullptr;
  Node node;
  node.kind = Kind::File;
  node.attributes = attributes;
  node.source = std::u16string(path);
  return &Put(key, path, std::move(node));
}

void DryRunFileSystem::Forget(Node& node) {
  node.kind = Kind::Gone;
  node.data.reset();
  node.source.clear();
}

bool DryRunFileSystem::Keep(Node& node) {
  if (node.data) return true;
  std::unique_ptr<platform::File> file = card_.Open(node.source, "rb");
  if (!file || !file->Seek(0, platform::SeekFrom::End)) return false;
  const int64_t size = file->Tell();
  if (size < 0 || !file->Seek(0, platform::SeekFrom::Start)) return false;
  auto data = std::make_shared<Bytes>(static_cast<size_t>(size));
  if (size > 0 && file->Read(data->data(), data->size()) != data->size()) return false;
  node.data = std::move(data);
  node.source.clear();
  return true;
}

bool DryRunFileSystem::changed() const {
  std::lock_guard lock(mu_);
  return changed_;
}

std::unique_ptr<platform::File> DryRunFileSystem::Open(std::u16string_view path, const char* mode) {
  const std::string_view m(mode);
  const bool plus = m.find('+') != std::string_view::npos;
  const std::u16string key = Key(path);
  std::unique_lock lock(mu_);
  if (m[0] == 'r' && !plus) {
    const Node* node = Find(key);
    if (!node) {
      lock.unlock();
      return card_.Open(path, mode);
    }
    if (node->kind != Kind::File) return nullptr;
    if (node->data) return std::make_unique<KeptFile>(node->data, true, false, false);
    const std::u16string source = node->source;
    lock.unlock();
    return card_.Open(source, mode);
  }

  if (IsFolder(path, key)) return nullptr;
  Node* node = FileNode(path, key);
  if (m[0] == 'r') {
    if (!node || !Keep(*node)) return nullptr;
  } else if (!node) {
    if (!ParentIsFolder(path, key)) return nullptr;
    Node made;
    made.kind = Kind::File;
    made.data = std::make_shared<Bytes>();
    node = &Put(key, path, std::move(made));
  } else if (m[0] == 'w') {
    // Truncated in place: a handle still open sees it, as it would on the card.
    if (node->data) {
      node->data->clear();
    } else {
      node->data = std::make_shared<Bytes>();
      node->source.clear();
    }
  } else if (!Keep(*node)) {
    return nullptr;
  }
  changed_ = true;
  return std::make_unique<KeptFile>(node->data, plus, true, m[0] == 'a');
}

std::unique_ptr<platform::DirListing> DryRunFileSystem::List(std::u16string_view folder) {
  const std::u16string key = Key(WithoutPattern(folder));
  const std::u16string prefix = key + u"\\";
  std::vector<OverlayEntry> overlay;
  std::unique_lock lock(mu_);
  const Node* node = Find(key);
  if (node && node->kind != Kind::Folder) return nullptr;
  const bool onCard = !node || node->onCard;
  std::vector<const Node*> children;
  std::vector<std::u16string> childKeys;
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);
       ++it) {
    if (it->first.find(u'\\', prefix.size()) != std::u16string::npos) continue;  // deeper
    children.push_back(&it->second);
    childKeys.push_back(it->first.substr(prefix.size()));
  }
  if (!node && children.empty()) {
    lock.unlock();
    return card_.List(folder);  // nothing of this folder changed
  }
  std::vector<size_t> byOrder(children.size());
  for (size_t i = 0; i < byOrder.size(); ++i) byOrder[i] = i;
  std::sort(byOrder.begin(), byOrder.end(),
            [&](size_t a, size_t b) { return children[a]->order < children[b]->order; });
  for (size_t i : byOrder) {
    const Node& child = *children[i];
    overlay.push_back(
        {childKeys[i], DirEntry{child.name, child.attributes}, child.kind == Kind::Gone});
  }
  lock.unlock();
  std::unique_ptr<platform::DirListing> card;
  if (onCard) {
    card = card_.List(folder);
    if (!card) return nullptr;  // the card's folder cannot be listed: neither can the overlay's
  }
  return std::make_unique<MergedListing>(std::move(card), std::move(overlay));
}

uint32_t DryRunFileSystem::Attributes(std::u16string_view path) {
  const std::u16string key = Key(path);
  {
    std::lock_guard lock(mu_);
    if (const Node* node = Find(key))
      return node->kind == Kind::Gone ? kNoAttributes : node->attributes;
  }
  return card_.Attributes(path);
}

int64_t DryRunFileSystem::ModifiedTime(std::u16string_view path) {
  const std::u16string key = Key(path);
  std::u16string source;
  {
    std::lock_guard lock(mu_);
    if (const Node* node = Find(key)) {
      if (node->kind == Kind::Gone || node->data) return platform::kNoTime;
      if (node->kind == Kind::Folder && !node->onCard) return platform::kNoTime;
      source = node->kind == Kind::File ? node->source : std::u16string(path);
    } else {
      source.assign(path);
    }
  }
  return card_.ModifiedTime(source);
}

bool DryRunFileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  const std::u16string key = Key(path);
  std::lock_guard lock(mu_);
  Node* node = Find(key);
  if (!node) {
    if (IsRootKey(key)) return false;
    const uint32_t now = card_.Attributes(path);
    if (now == kNoAttributes) return false;
    Node made;
    made.attributes = now;
    if ((now & kAttrDirectory) != 0) {
      made.kind = Kind::Folder;
      made.onCard = true;
    } else {
      made.kind = Kind::File;
      made.source = std::u16string(path);
    }
    node = &Put(key, path, std::move(made));
  }
  if (node->kind == Kind::Gone) return false;
  node->attributes =
      (attributes & ~kAttrDirectory) | (node->kind == Kind::Folder ? kAttrDirectory : 0);
  changed_ = true;
  return true;
}

bool DryRunFileSystem::MakeFolder(std::u16string_view path) {
  const std::u16string key = Key(path);
  std::lock_guard lock(mu_);
  if (IsRootKey(key)) return false;
  if (const Node* node = Find(key)) {
    if (node->kind != Kind::Gone) return false;
  } else if (card_.Attributes(path) != kNoAttributes) {
    return false;
  }
  if (!ParentIsFolder(path, key)) return false;
  Node made;
  made.kind = Kind::Folder;
  made.attributes = kAttrDirectory;
  Put(key, path, std::move(made));
  changed_ = true;
  return true;
}

bool DryRunFileSystem::RemoveFile(std::u16string_view path) {
  const std::u16string key = Key(path);
  std::lock_guard lock(mu_);
  Node* node = FileNode(path, key);
  if (!node) return false;
  Forget(*node);
  changed_ = true;
  return true;
}

bool DryRunFileSystem::Move(std::u16string_view from, std::u16string_view to) {
  const std::u16string fromKey = Key(from);
  const std::u16string toKey = Key(to);
  std::lock_guard lock(mu_);
  Node* source = FileNode(from, fromKey);
  if (!source || fromKey == toKey) return false;  // the target exists: it is the source
  if (const Node* target = Find(toKey)) {
    if (target->kind != Kind::Gone) return false;
  } else if (IsRootKey(toKey) || card_.Attributes(to) != kNoAttributes) {
    return false;
  }
  if (!ParentIsFolder(to, toKey)) return false;
  Node moved = *source;
  Forget(*source);
  Put(toKey, to, std::move(moved));
  changed_ = true;
  return true;
}

bool DryRunFileSystem::Replace(std::u16string_view from, std::u16string_view to) {
  const std::u16string fromKey = Key(from);
  const std::u16string toKey = Key(to);
  std::lock_guard lock(mu_);
  Node* source = FileNode(from, fromKey);
  if (!source || IsFolder(to, toKey) || !ParentIsFolder(to, toKey)) return false;
  if (fromKey == toKey) return true;
  Node moved = *source;
  Forget(*source);
  Put(toKey, to, std::move(moved));
  changed_ = true;
  return true;
}

bool DryRunFileSystem::Copy(std::u16string_view from, std::u16string_view to) {
  const std::u16string fromKey = Key(from);
  const std::u16string toKey = Key(to);
  std::lock_guard lock(mu_);
  const Node* source = FileNode(from, fromKey);
  if (!source || IsFolder(to, toKey) || !ParentIsFolder(to, toKey)) return false;
  if (fromKey == toKey) return true;
  Node copy = *source;
  if (copy.data) copy.data = std::make_shared<Bytes>(*copy.data);
  Put(toKey, to, std::move(copy));
  changed_ = true;
  return true;
}

namespace {

// Reads a file front to back through a buffer: one call to the file per megabyte, not per record.
class BufferedReader {
 public:
  explicit BufferedReader(platform::File& file) : file_(file), buffer_(1 << 20) {}
  // False when fewer than `size` bytes are left.
  bool Read(uint8_t* dst, size_t size) {
    while (size > 0) {
      if (at_ == end_) {
        at_ = 0;
        end_ = file_.Read(buffer_.data(), buffer_.size());
        if (end_ == 0) return false;
      }
      const size_t n = std::min(size, end_ - at_);
      std::memcpy(dst, buffer_.data() + at_, n);
      at_ += n, dst += n, size -= n;
    }
    return true;
  }

 private:
  platform::File& file_;
  std::vector<uint8_t> buffer_;
  size_t at_ = 0, end_ = 0;
};

// The paths of the tracks of the library at `root` (drive form, sorted), read from the track
// list one record at a time; false when there is no library or its track list cannot be read to
// its end (the paths read so far are kept).
bool TrackPaths(platform::FileSystem& files, std::u16string_view root,
                std::vector<std::u16string>* paths) {
  if (!library::IsLibraryPresent(files, root, 0)) return false;
  std::unique_ptr<platform::File> list =
      files.Open(library::LibraryFilePath(root, library::kTrackListFile), "rb");
  uint8_t header[16];
  if (!list || list->Read(header, sizeof header) != sizeof header ||
      std::memcmp(header, "zrtl", 4) != 0 ||
      !list->Seek(GetLe32(header + 4), platform::SeekFrom::Start)) {
    return false;
  }
  // Far above what the longest strings a record holds need: a bound for a damaged length.
  constexpr uint32_t kLongestRecord = 1 << 16;
  const uint32_t count = GetLe32(header + 12);
  BufferedReader reader(*list);
  std::vector<uint8_t> record;
  bool whole = true;
  for (uint32_t t = 0; t < count && whole; ++t) {
    record.resize(12);
    whole = reader.Read(record.data(), 12);
    const uint32_t length = whole ? GetLe32(record.data() + 8) : 0;
    whole = whole && length >= library::kRecordHeadLength && length <= kLongestRecord;
    if (whole) {
      record.resize(length);
      whole = reader.Read(record.data() + 12, length - 12);
    }
    library::TrackRecordView view;
    whole = whole && library::ParseTrackRecord(record, &view) == library::kRecordSound;
    if (!whole) break;
    // Stored without the drive letter and colon, with "/" for "\".
    std::u16string path(root.substr(0, 2));
    const uint8_t* data = record.data() + view.dataAt[library::kPath];
    for (uint32_t i = 0; i < view.units[library::kPath]; ++i) {
      const char16_t c = GetLe16(data + 2 * i);
      path.push_back(c == u'/' ? u'\\' : c);
    }
    paths->push_back(std::move(path));
  }
  std::sort(paths->begin(), paths->end());
  return whole;
}

}  // namespace

LibraryChanges CompareLibraries(platform::FileSystem& card, DryRunFileSystem& dryRun,
                                std::u16string_view driveRoot) {
  LibraryChanges changes;
  std::vector<std::u16string> before, after;
  changes.libraryBefore = TrackPaths(card, driveRoot, &before);
  changes.tracksBefore = before.size();
  if (!dryRun.changed()) {  // the run wrote nothing: the same library
    changes.libraryAfter = changes.libraryBefore;
    changes.tracksAfter = changes.tracksBefore;
    return changes;
  }
  changes.libraryAfter = TrackPaths(dryRun, driveRoot, &after);
  changes.tracksAfter = after.size();
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(changes.removed));
  // What both hold is what was not removed; the rest of the new library was added.
  changes.added = after.size() - (before.size() - changes.removed.size());
  return changes;
}

}  // namespace deltrix::run

#include "run/run_report.h"

#include "base/utf16.h"
#include "run/messages.h"

namespace deltrix::run {

std::string_view ReasonTag(LeftOutReason reason) {
  switch (reason) {
    case LeftOutReason::Unreadable:
      return "unreadable";
    case LeftOutReason::PathTooLong:
      return "path-too-long";
    case LeftOutReason::TooDeep:
      return "too-deep";
    case LeftOutReason::PastLimit:
      return "past-limit";
    case LeftOutReason::HiddenOrSystem:
      return "hidden-or-system";
    case LeftOutReason::Unlistable:
      return "unlistable";
    case LeftOutReason::NoDriveForm:
      return "no-drive-form";
  }
  return "unknown";
}

void RunReport::Add(LeftOutReason reason, std::u16string_view folder, std::u16string_view name) {
  Part& part = parts_[Index(reason)];
  ++part.count;
  if (part.entries.size() < cap_) {
    part.entries.push_back({std::u16string(folder), std::u16string(name)});
  }
}

void RunReport::AddPath(LeftOutReason reason, std::u16string_view path) {
  const size_t slash = path.rfind(u'\\');
  if (slash == std::u16string_view::npos) {
    Add(reason, {}, path);
  } else if (slash + 1 == path.size()) {
    Add(reason, path, {});  // a drive root (E:\)
  } else {
    Add(reason, path.substr(0, slash + 1), path.substr(slash + 1));
  }
}

bool RunReport::empty() const {
  for (const Part& part : parts_) {
    if (part.count != 0) return false;
  }
  return true;
}

void RunReport::Clear() {
  for (Part& part : parts_) {
    part.count = 0;
    part.entries.clear();
    part.entries.shrink_to_fit();
  }
}

std::u16string DrivePathOf(const RunReport::Entry& entry) {
  std::u16string path = entry.folder;
  if (!entry.name.empty()) {
    if (!path.empty() && path.back() != u'\\') path.push_back(u'\\');
    path += entry.name;
  }
  return path;
}

std::string UserPathOf(platform::DriveTable& drives, const RunReport::Entry& entry) {
  std::string folder = entry.folder.empty() ? std::string() : drives.ToUserPath(entry.folder);
  if (entry.name.empty()) return folder;
  // The user's separator is the one the folder already uses (a drive root has one of its own).
  const char separator = folder.find('/') != std::string::npos || folder.empty() ? '/' : '\\';
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder.push_back(separator);
  return folder + ToUtf8(entry.name);
}

std::string ReportFileText(const RunReport& report, platform::DriveTable& drives) {
  std::string text;
  for (int i = 0; i < kLeftOutReasons; ++i) {
    const auto reason = static_cast<LeftOutReason>(i);
    for (const RunReport::Entry& entry : report.list(reason)) {
      text += ReasonTag(reason);
      text += '\t';
      text += UserPathOf(drives, entry);
      text += '\n';
    }
  }
  return text;
}

std::u16string DetailsText(const RunReport& report, platform::DriveTable& drives) {
  std::u16string text;
  for (int i = 0; i < kLeftOutReasons; ++i) {
    const auto reason = static_cast<LeftOutReason>(i);
    const int64_t count = report.count(reason);
    if (count == 0) continue;
    if (!text.empty()) text += u"\n";
    text += CountLine(reason, count) + u":\n";
    const std::vector<RunReport::Entry>& list = report.list(reason);
    for (const RunReport::Entry& entry : list) {
      text += u"  " + FromUtf8(UserPathOf(drives, entry)) + u"\n";
    }
    if (static_cast<size_t>(count) > list.size()) {
      text += u"  " + std::u16string(kDetailsMoreBefore) +
              FromUtf8(std::to_string(count - static_cast<int64_t>(list.size()))) +
              std::u16string(kDetailsMoreAfter) + u"\n";
    }
  }
  return text;
}

std::u16string CountLine(LeftOutReason reason, int64_t count) {
  return FromUtf8(std::to_string(count)) + u" " +
         std::u16string(kLeftOutTexts[static_cast<size_t>(reason)]);
}

}  // namespace deltrix::run

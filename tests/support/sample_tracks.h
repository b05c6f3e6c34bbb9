// Small audio files and library snapshots that tests of whole runs build on.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "support/memory_drive.h"

namespace deltrix::testing {

// An MP3 file of `audioBytes` bytes of audio and an ID3v1 tag (title, artist, album; year 1999;
// genre 17 "Rock").
inline std::string Mp3(std::string_view title, std::string_view artist, std::string_view album,
                       size_t audioBytes = 100) {
  std::string tag = "TAG";
  for (std::string_view field : {title, artist, album}) {
    std::string f(field);
    f.resize(30, '\0');
    tag += f;
  }
  tag += "1999" + std::string(30, '\0');
  tag.push_back(17);
  return std::string(audioBytes, '\x55') + tag;
}

// The files of the library folder of drive E:, by name, with their bytes.
using Folder = std::map<std::u16string, Bytes>;
inline Folder FolderOf(const MemoryFileSystem& fs,
                       std::u16string_view folder = u"E:\\KORVANE\\LIBRARY") {
  Folder files;
  for (const std::u16string& name : fs.Names(folder))
    files[name] = fs.Contents(std::u16string(folder) + u"\\" + name);
  return files;
}

}  // namespace deltrix::testing

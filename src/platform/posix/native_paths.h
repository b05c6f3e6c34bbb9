// Paths between the player's drive form and the native file system: canonical native paths, the
// part of a path below a folder, and the names of a drive path. Only CanonicalPath and RealPath
// look at the file system; the rest is pure and tested with tables.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace deltrix::platform::posix {

// The real path of an existing path; empty when it does not resolve.
std::string RealPath(const std::string& path);

// The canonical absolute form of a path that may not exist yet: the real path of its longest
// existing ancestor followed by the remaining names ("." dropped, ".." taking one name off).
// Relative paths are taken from the working folder. Empty when no ancestor resolves.
std::string CanonicalPath(std::string path);

// The part of `path` below `folder` ("" for the folder itself), or nullopt when it is not below.
// Both are canonical native paths.
std::optional<std::string_view> Below(std::string_view folder, std::string_view path);

// The names of a drive path after its "X:" (either slash separates): empty names and "." are
// dropped, ".." takes the name before it off and stops at the root. Nullopt when a name holds a
// NUL.
std::optional<std::vector<std::u16string_view>> DrivePathNames(std::u16string_view afterLetter);

}  // namespace deltrix::platform::posix

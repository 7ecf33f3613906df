#pragma once
// File names written for a case-insensitive file system with "\" separators, resolved on this one.

#include <string>
#include <string_view>

// Turns every "\" into "/".
std::string ToSlashes(std::string_view path);

// The path as it exists on disk: when the path does not exist as written, each missing component is looked up
// in its parent without regard to ASCII case (the first match in sorted order wins). Backslashes count as
// separators. When nothing matches, the path is returned with its separators converted.
std::string ResolveCaseInsensitive(std::string_view path);

// True when the path, resolved as above, names an existing regular file.
bool FileExistsCi(std::string_view path);

// The path made absolute against the current directory; an empty path stays empty.
std::string AbsolutePath(const std::string &path);

// The last component of a path ("dir/CFG.TPL" -> "CFG.TPL"); "\" counts as a separator.
std::string ExtractFileName(std::string_view path);
// The path up to and including its last separator ("dir/CFG.TPL" -> "dir/"); empty when there is none.
std::string ExtractFilePath(std::string_view path);
// The extension with its dot ("A.TPL" -> ".TPL"), empty when there is none.
std::string ExtractFileExt(std::string_view path);

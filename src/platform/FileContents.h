#pragma once
// Whole-file reads, and replacing a file's whole contents so that readers see either the old file or the new one.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The file's bytes; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileContents(const std::string &path);

// The file that a write to `path` changes: a symbolic link followed to its final target (also when that does not
// exist yet); any other path as it stands.
std::string WriteTarget(const std::string &path);

// An existing file that may not be written: it has no write permission bit at all (a read-only file, which the
// superuser is refused too), or this process has no write access to it. A missing file is not read-only.
bool IsReadOnlyFile(const std::string &path);

// Writes `bytes` to a temporary file beside the write target of `path`, then renames it over that target, so a
// symbolic link stays a link. False (errno telling why) when anything failed or the target is a read-only file;
// the temporary file is removed then and the target is left as it was. An existing file keeps its group and
// permission bits (and its owner, when the superuser writes it); a new file gets 0666 less the umask. A writable
// file in a folder where no file may be created is rewritten in place instead.
bool WriteFileAtomically(const std::string &path, std::string_view bytes);
// The same; `beforeRename` gets the new file, open for reading and writing and holding `bytes`, just before it
// takes the target's place (it may keep a duplicate of the descriptor), and false from it leaves the target as it
// was. A file rewritten in place is not shown to it.
bool WriteFileAtomically(const std::string &path, std::string_view bytes,
                         const std::function<bool(int fd)> &beforeRename);

// Removes the temporary files that writes of `path` left behind in processes that have ended without finishing
// (killed, or the machine stopped); those of running processes stay.
void RemoveAbandonedTemporaries(const std::string &path);

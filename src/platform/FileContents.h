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

// Replaces the write target of `path` by a new file holding `bytes`, written beside it and renamed over it, so that
// readers see the old file or the new one and a symbolic link stays a link. `beforeRename` gets the new file, open
// for reading and writing, just before it takes the target's place (it may keep a duplicate of the descriptor).
// False (errno telling why) when anything failed, `beforeRename` said false, the target is a read-only file, or no
// file may be created in its folder (EACCES or EPERM); the temporary file is removed then and the target is left as
// it was. An existing file keeps its group and permission bits (and its owner, when the superuser writes it); a
// new file gets 0666 less the umask.
bool ReplaceFile(const std::string &path, std::string_view bytes, const std::function<bool(int fd)> &beforeRename);

// The same, except that a writable file in a folder where no file may be created is rewritten in place. Room for
// the new contents is taken before the first old byte is overwritten, and a rewrite that fails all the same puts
// the old bytes and size back, so that false leaves the file as it was (unless writing the old bytes back fails
// too). A program killed during a rewrite in place can leave the file part new, part old.
bool WriteFileAtomically(const std::string &path, std::string_view bytes);

// Removes the temporary files that writes of `path` left behind in processes that have ended without finishing
// (killed, or the machine stopped); those of running processes stay.
void RemoveAbandonedTemporaries(const std::string &path);

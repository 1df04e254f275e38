// Writing files so that a failure never leaves half of what was written: a
// file is replaced whole or stays as it was, an append goes in whole or the
// file keeps its old length, and bytes rewritten in place are all written or
// put back. Every write is flushed to the disk before it counts as done
// (bytes rewritten in place once FlushFile is called). A file this process
// may not write is never written. On failure the reason ("No space left on
// device", "Permission denied") is given.
//
// A symbolic link is followed to the file it names, and a link that names
// no file yet gets that file made.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

// The file holds exactly bytes, or is as it was (a missing file stays
// missing). A new file is written beside it and renamed over it only once
// it is whole on the disk; where its folder takes no new file, a file that
// may be written is rewritten in place instead, its new size reserved on the
// disk first so that a full disk fails before the file changes. Temporary
// files that killed saves of the file left beside it go first.
bool ReplaceFileWhole(const std::string& path, std::string_view bytes, std::string* reason);

// The bytes are added at the end of the file (made when missing), or the
// file is as it was: its old length again, or gone when it was made here.
bool AppendToFileWhole(const std::string& path, std::string_view bytes, std::string* reason);

// Writes size bytes at offset of an open file, not yet flushed (FlushFile);
// when that fails, the old bytes (what the place held) are written back.
bool RewriteInPlace(int fd, off_t offset, const void* bytes, const void* old, std::size_t size, std::string* reason);

// The open file's data is on the disk.
bool FlushFile(int fd, std::string* reason);

// Removes the temporary files that saves of path left beside it when the
// process that made them no longer runs (a save killed before its rename).
// Those of running processes stay.
void RemoveStaleTemporaryFiles(const std::string& path);

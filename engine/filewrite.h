// Writing files so that a failure never leaves half of what was written: a
// file is replaced whole or stays as it was, an append goes in whole or the
// file keeps its old length, and bytes rewritten in place are all written or
// put back. Every write is flushed to the disk before it counts as done.
// On failure the reason ("No space left on device") is given.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

// The file holds exactly bytes, or is as it was (a missing file stays
// missing). A new file is written beside it and renamed over it only once
// it is whole on the disk. A symbolic link is followed to the file it names.
bool ReplaceFileWhole(const std::string& path, std::string_view bytes, std::string* reason);

// The bytes are added at the end of the file (made when missing), or the
// file is as it was: its old length again, or gone when it was made here.
bool AppendToFileWhole(const std::string& path, std::string_view bytes, std::string* reason);

// Writes size bytes at offset of an open file; when that fails, the old
// bytes (what the place held) are written back.
bool RewriteInPlace(int fd, off_t offset, const void* bytes, const void* old, std::size_t size, std::string* reason);

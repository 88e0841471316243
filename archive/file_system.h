// The few file-system calls of the archive code (SetupArchive, the reader's
// default streams, the writer's entry times), behind one thin layer with a
// Win32 and a POSIX implementation. Paths may use "\\" or "/"; the POSIX
// layer maps "\\" to "/".
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace archive_fs {

// A Win32 HANDLE or a POSIX descriptor.
using FileHandle = intptr_t;
constexpr FileHandle kInvalidFileHandle = -1;

enum class PathKind { Missing, File, Directory };

PathKind QueryPathKind(const char* path);

// Creates one directory level; true when it was created.
bool MakeDirectory(const char* path);

// Creates the file for writing, replacing an existing one. Fails on a
// read-only file; on POSIX a file without its owner's write bit counts as
// read-only even for root.
FileHandle CreateOutputFile(const char* path);

// True when all size bytes were written.
bool WriteOutputFile(FileHandle file, const void* data, uint32_t size);

void CloseOutputFile(FileHandle file);

bool RemoveFile(const char* path);

// Sets the file's creation (where the platform keeps one) and last-write
// times to an MS-DOS date/time (date in the high 16 bits) read as local
// time; the last-access time stays. False when the file cannot be opened or
// the date/time is invalid.
bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime);

// 64-bit positions in a standard library stream, whatever the width of long:
// ftell/fseek semantics (-1 and non-zero on failure).
int64_t TellStream(std::FILE* stream);
int SeekStream(std::FILE* stream, int64_t offset, int whence);

// The file's last-write time in local time. False when it cannot be read.
bool GetLocalModificationTime(const char* path, struct tm* local);

// The file's last-write time in seconds since 1970 (UTC). False when it
// cannot be read.
bool GetModificationSeconds(const char* path, int64_t* seconds);

} // namespace archive_fs

#include "archive/file_system.h"

#include <windows.h>

#include <sys/stat.h>

namespace archive_fs {

namespace {

HANDLE AsHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

PathKind QueryPathKind(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

bool MakeDirectory(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}

FileHandle CreateOutputFile(const char* path) {
    // CREATE_ALWAYS replaces an existing file and fails on a read-only one,
    // except under Wine run as root, which only looks at the Unix mode bits.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kInvalidFileHandle;
    }
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return kInvalidFileHandle;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool WriteOutputFile(FileHandle file, const void* data, uint32_t size) {
    DWORD written = 0;
    return WriteFile(AsHandle(file), data, size, &written, nullptr) != FALSE && written == size;
}

void CloseOutputFile(FileHandle file) {
    CloseHandle(AsHandle(file));
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != FALSE;
}

bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME created;
    FILETIME accessed;
    FILETIME written;
    FILETIME local;
    FILETIME utc;
    const bool applied = GetFileTime(file, &created, &accessed, &written) &&
                         DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) &&
                         LocalFileTimeToFileTime(&local, &utc) &&
                         SetFileTime(file, &utc, &accessed, &utc);
    CloseHandle(file);
    return applied;
}

int64_t TellStream(std::FILE* stream) {
    return _ftelli64(stream);
}

int SeekStream(std::FILE* stream, int64_t offset, int whence) {
    return _fseeki64(stream, offset, whence);
}

bool GetLocalModificationTime(const char* path, struct tm* local) {
    struct _stat64 status;
    return _stat64(path, &status) == 0 && _localtime64_s(local, &status.st_mtime) == 0;
}

bool GetModificationSeconds(const char* path, int64_t* seconds) {
    struct _stat64 status;
    if (_stat64(path, &status) != 0) {
        return false;
    }
    *seconds = static_cast<int64_t>(status.st_mtime);
    return true;
}

} // namespace archive_fs

#include "archive/file_system.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive_fs {

namespace {

constexpr size_t kPathBufferSize = 4096;

// The archive code joins paths with "\\"; this file system knows only "/".
// False when the path does not fit.
bool ToNativePath(const char* path, char (&native)[kPathBufferSize]) {
    const size_t length = strlen(path);
    if (length >= kPathBufferSize) {
        return false;
    }
    for (size_t i = 0; i <= length; ++i) {
        native[i] = path[i] == '\\' ? '/' : path[i];
    }
    return true;
}

// Validates like the Win32 conversion does, which refuses rather than
// normalises out-of-range fields.
bool DosDateTimeToLocalTm(uint32_t dosDateTime, struct tm* local) {
    static const int kDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const uint32_t date = dosDateTime >> 16;
    const uint32_t time = dosDateTime & 0xFFFF;
    const int year = static_cast<int>(date >> 9) + 1980;
    const int month = static_cast<int>((date >> 5) & 0x0F);
    const int day = static_cast<int>(date & 0x1F);
    const int hour = static_cast<int>(time >> 11);
    const int minute = static_cast<int>((time >> 5) & 0x3F);
    const int second = static_cast<int>(time & 0x1F) * 2;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    memset(local, 0, sizeof(*local));
    local->tm_year = year - 1900;
    local->tm_mon = month - 1;
    local->tm_mday = day;
    local->tm_hour = hour;
    local->tm_min = minute;
    local->tm_sec = second;
    local->tm_isdst = -1;
    return true;
}

} // namespace

PathKind QueryPathKind(const char* path) {
    char native[kPathBufferSize];
    struct stat status;
    if (!ToNativePath(path, native) || stat(native, &status) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(status.st_mode) ? PathKind::Directory : PathKind::File;
}

bool MakeDirectory(const char* path) {
    char native[kPathBufferSize];
    return ToNativePath(path, native) && mkdir(native, 0777) == 0;
}

FileHandle CreateOutputFile(const char* path) {
    char native[kPathBufferSize];
    if (!ToNativePath(path, native)) {
        return kInvalidFileHandle;
    }
    // Root may write anywhere; the owner's write bit stands in for the
    // read-only attribute so that such files are refused as on Windows.
    struct stat status;
    if (stat(native, &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
        return kInvalidFileHandle;
    }
    const int file = open(native, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return file < 0 ? kInvalidFileHandle : static_cast<FileHandle>(file);
}

bool WriteOutputFile(FileHandle file, const void* data, uint32_t size) {
    const char* next = static_cast<const char*>(data);
    uint32_t remaining = size;
    while (remaining > 0) {
        const ssize_t written = write(static_cast<int>(file), next, remaining);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        remaining -= static_cast<uint32_t>(written);
    }
    return true;
}

void CloseOutputFile(FileHandle file) {
    close(static_cast<int>(file));
}

bool RemoveFile(const char* path) {
    char native[kPathBufferSize];
    return ToNativePath(path, native) && unlink(native) == 0;
}

bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime) {
    char native[kPathBufferSize];
    struct tm local;
    if (!ToNativePath(path, native) || !DosDateTimeToLocalTm(dosDateTime, &local)) {
        return false;
    }
    const time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1)) {
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // last access stays
    times[1].tv_sec = seconds;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, native, times, 0) == 0;
}

int64_t TellStream(std::FILE* stream) {
    return ftello(stream);
}

int SeekStream(std::FILE* stream, int64_t offset, int whence) {
    return fseeko(stream, static_cast<off_t>(offset), whence);
}

bool GetLocalModificationTime(const char* path, struct tm* local) {
    struct stat status;
    return stat(path, &status) == 0 && localtime_r(&status.st_mtime, local) != nullptr;
}

bool GetModificationSeconds(const char* path, int64_t* seconds) {
    struct stat status;
    if (stat(path, &status) != 0) {
        return false;
    }
    *seconds = static_cast<int64_t>(status.st_mtime);
    return true;
}

} // namespace archive_fs

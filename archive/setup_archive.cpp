#include "archive/setup_archive.h"

#include <cstring>

#include "archive/archive_reader.h"
#include "archive/file_system.h"

using namespace archive_fs;

namespace {

constexpr size_t kPathBufferSize = 260;
constexpr size_t kMaxPathLength = kPathBufferSize - 1;
constexpr uint32_t kNameBufferSize = 260;
constexpr uint32_t kCommentBufferSize = 255;
constexpr uint32_t kCopyBufferSize = 20480;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool FitsPath(const char* path) {
    return strnlen(path, kPathBufferSize) <= kMaxPathLength;
}

// Position of the last separator, or -1.
int LastSeparator(const char* path) {
    int last = -1;
    for (int i = 0; path[i] != '\0'; ++i) {
        if (IsSeparator(path[i])) {
            last = i;
        }
    }
    return last;
}

// Creates the missing levels of path from the top down; true when it exists
// as a directory afterwards. path fits kPathBufferSize.
bool EnsureDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    const PathKind kind = QueryPathKind(path);
    if (kind != PathKind::Missing) {
        return kind == PathKind::Directory;
    }
    const int cut = LastSeparator(path);
    if (cut >= 0) {
        char parent[kPathBufferSize];
        memcpy(parent, path, cut);
        parent[cut] = '\0';
        if (!EnsureDirectory(parent)) {
            return false;
        }
    }
    // A path ending in a separator names the level its parent just created.
    MakeDirectory(path);
    return QueryPathKind(path) == PathKind::Directory;
}

bool EnsureParentDirectory(const char* filePath) {
    const int cut = LastSeparator(filePath);
    if (cut < 0) {
        return false;
    }
    char parent[kPathBufferSize];
    memcpy(parent, filePath, cut);
    parent[cut] = '\0';
    return EnsureDirectory(parent);
}

// directory + "\\" (unless it ends with a separator) + the name, or only the
// name's last part when flattening. False when that exceeds 259 characters.
bool FormTargetPath(const char* directory, const char* name, bool flattenPaths,
                    char (&target)[kPathBufferSize]) {
    if (flattenPaths) {
        const int cut = LastSeparator(name);
        name += cut + 1;
    }
    const size_t directoryLength = strlen(directory);
    const bool needsSeparator =
        directoryLength == 0 || !IsSeparator(directory[directoryLength - 1]);
    const size_t length = directoryLength + (needsSeparator ? 1 : 0) + strlen(name);
    if (length > kMaxPathLength) {
        return false;
    }
    memcpy(target, directory, directoryLength);
    size_t next = directoryLength;
    if (needsSeparator) {
        target[next++] = '\\';
    }
    memcpy(target + next, name, strlen(name) + 1);
    return true;
}

// The verdict on an entry whose data has been read to its end: the reader's
// last result, its close status, and the bytes delivered.
ExtractFailure JudgeDelivery(int lastCount, int closeStatus, uint32_t delivered,
                             uint32_t expectedSize) {
    if (lastCount < 0) {
        return ExtractFailure::DataError;
    }
    if (closeStatus == ArchiveStatus::CrcError) {
        return ExtractFailure::ChecksumMismatch;
    }
    // Data that ends early is not checked by the reader at all.
    if (delivered != expectedSize) {
        return ExtractFailure::SizeMismatch;
    }
    return ExtractFailure::None;
}

// ".." itself, and what Windows trims to it: dots and spaces after the two
// dots are dropped from a path component.
bool IsParentComponent(const char* begin, const char* end) {
    if (end - begin < 2 || begin[0] != '.' || begin[1] != '.') {
        return false;
    }
    for (const char* c = begin + 2; c < end; ++c) {
        if (*c != '.' && *c != ' ') {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsSafeEntryName(const char* name) {
    if (name == nullptr || name[0] == '\0' || IsSeparator(name[0]) ||
        strchr(name, ':') != nullptr) {
        return false;
    }
    const char* component = name;
    for (const char* c = name;; ++c) {
        if (*c == '\0' || IsSeparator(*c)) {
            if (IsParentComponent(component, c)) {
                return false;
            }
            if (*c == '\0') {
                return true;
            }
            component = c + 1;
        }
    }
}

SetupArchive::SetupArchive()
    : reader(nullptr), extractDirectory{}, lastExtractFailure(ExtractFailure::None) {}

SetupArchive::SetupArchive(const char* archivePath) : SetupArchive() {
    Open(archivePath);
}

SetupArchive::~SetupArchive() {
    Close();
}

bool SetupArchive::Open(const char* archivePath) {
    Close();
    if (archivePath == nullptr || !FitsPath(archivePath)) {
        return false;
    }
    reader = OpenArchive(archivePath);
    if (reader == nullptr) {
        return false;
    }
    const size_t length = strlen(archivePath);
    const char* dot = strrchr(archivePath, '.');
    const size_t kept = dot != nullptr ? static_cast<size_t>(dot - archivePath) : length;
    memcpy(extractDirectory, archivePath, kept);
    extractDirectory[kept] = '\0';
    return true;
}

bool SetupArchive::Close() {
    if (reader == nullptr) {
        return false;
    }
    const int status = CloseArchive(reader);
    reader = nullptr;
    return status == ArchiveStatus::Ok;
}

int SetupArchive::GetEntryCount() {
    ArchiveInfo info;
    if (reader == nullptr || GetArchiveInfo(reader, &info) != ArchiveStatus::Ok) {
        return 0;
    }
    return static_cast<int>(info.entryCount);
}

// Walks forward from the current entry when it is not behind the index, so
// that visiting the entries in order reads each header about once.
bool SetupArchive::GoToEntry(int index) {
    if (reader == nullptr || index < 0 || index >= GetEntryCount()) {
        return false;
    }
    int current = GetCurrentEntryIndex(reader);
    if (current < 0 || current > index) {
        GoToFirstEntry(reader);
        current = 0;
    }
    for (; current < index; ++current) {
        if (GoToNextEntry(reader) != ArchiveStatus::Ok) {
            return false;
        }
    }
    return true;
}

bool SetupArchive::ReadCurrentEntryInfo(ArchiveEntryInfo* info, bool* nameCut) {
    memset(info, 0, sizeof(*info));
    CentralEntryInfo central;
    if (GetCurrentEntryInfo(reader, &central, info->name, kNameBufferSize, nullptr, 0,
                            info->comment, kCommentBufferSize) != ArchiveStatus::Ok) {
        return false;
    }
    info->versionMadeBy = central.versionMadeBy;
    info->versionNeeded = central.versionNeeded;
    info->flags = central.flags;
    info->method = central.method;
    info->dosDateTime = central.dosDateTime;
    info->crc = central.crc;
    info->compressedSize = central.compressedSize;
    info->uncompressedSize = central.uncompressedSize;
    info->internalAttributes = central.internalAttributes;
    info->externalAttributes = central.externalAttributes;
    for (char* c = info->name; *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '\\';
        }
    }
    const size_t length = strlen(info->name);
    info->isDirectory = length > 0 && info->name[length - 1] == '\\';
    *nameCut = central.nameLength > kNameBufferSize;
    return true;
}

bool SetupArchive::GetEntryInfo(int index, ArchiveEntryInfo* info) {
    bool nameCut = false;
    return info != nullptr && GoToEntry(index) && ReadCurrentEntryInfo(info, &nameCut);
}

bool SetupArchive::ExtractEntry(int index, const char* directory, bool flattenPaths,
                                ExtractProgressCallback callback) {
    if (reader == nullptr) {
        lastExtractFailure = ExtractFailure::NoArchive;
    } else if (!GoToEntry(index)) {
        lastExtractFailure = ExtractFailure::NoSuchEntry;
    } else {
        lastExtractFailure = ExtractCurrentEntry(
            directory != nullptr ? directory : extractDirectory, flattenPaths, callback);
    }
    return lastExtractFailure == ExtractFailure::None;
}

// Every check that can refuse the entry comes before anything is created.
ExtractFailure SetupArchive::ExtractCurrentEntry(const char* directory, bool flattenPaths,
                                                 ExtractProgressCallback callback) {
    ArchiveEntryInfo info;
    bool nameCut = false;
    if (!ReadCurrentEntryInfo(&info, &nameCut)) {
        return ExtractFailure::NoSuchEntry;
    }
    if (!IsSafeEntryName(info.name)) {
        return ExtractFailure::UnsafeName;
    }
    char target[kPathBufferSize];
    if (!FitsPath(directory) || nameCut ||
        (!info.isDirectory && !FormTargetPath(directory, info.name, flattenPaths, target))) {
        return ExtractFailure::PathTooLong;
    }
    if (!EnsureDirectory(directory)) {
        return ExtractFailure::DirectoryFailed;
    }
    if (info.isDirectory) {
        return ExtractFailure::None;
    }
    if (!EnsureParentDirectory(target)) {
        return ExtractFailure::DirectoryFailed;
    }
    const ExtractFailure failure = CopyCurrentEntry(target, info.uncompressedSize, callback);
    if (failure != ExtractFailure::None) {
        return failure;
    }
    // A file whose times cannot be set is still complete.
    SetFileTimeFromDos(target, info.dosDateTime);
    return ExtractFailure::None;
}

// Writes the current entry's data to a new file at targetPath; the file is
// removed again unless every byte arrived intact.
ExtractFailure SetupArchive::CopyCurrentEntry(const char* targetPath, uint32_t expectedSize,
                                              ExtractProgressCallback callback) {
    const FileHandle file = CreateOutputFile(targetPath);
    if (file == kInvalidFileHandle) {
        return ExtractFailure::FileNotCreated;
    }
    ExtractFailure failure = ExtractFailure::None;
    if (OpenCurrentEntry(reader) != ArchiveStatus::Ok) {
        failure = ExtractFailure::EntryNotReadable;
    } else {
        unsigned char buffer[kCopyBufferSize];
        uint32_t total = 0;
        int count = 0;
        while ((count = ReadCurrentEntry(reader, buffer, kCopyBufferSize)) > 0) {
            if (!WriteOutputFile(file, buffer, static_cast<uint32_t>(count))) {
                failure = ExtractFailure::WriteFailed;
                break;
            }
            total += static_cast<uint32_t>(count);
            if (callback != nullptr) {
                callback(count);
            }
        }
        const int closed = CloseCurrentEntry(reader);
        if (failure == ExtractFailure::None) {
            failure = JudgeDelivery(count, closed, total, expectedSize);
        }
    }
    CloseOutputFile(file);
    if (failure != ExtractFailure::None) {
        RemoveFile(targetPath);
    }
    return failure;
}

bool SetupArchive::SetExtractDirectory(const char* path) {
    if (path == nullptr || !FitsPath(path) || QueryPathKind(path) == PathKind::File) {
        return false;
    }
    memcpy(extractDirectory, path, strlen(path) + 1);
    return EnsureDirectory(path);
}

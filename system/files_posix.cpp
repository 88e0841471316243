#include "files.h"

#include <cstdio>

#include <sys/stat.h>

bool ReplaceFileWith(const char* source, const char* target) {
    return std::rename(source, target) == 0;
}

bool IsFileSystemLink(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

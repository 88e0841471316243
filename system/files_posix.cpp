#include "files.h"

#include <cstdio>

bool ReplaceFileWith(const char* source, const char* target) {
    return std::rename(source, target) == 0;
}

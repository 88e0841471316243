// The profile service on Windows: the platform's own profile functions.
#include "profile_service.h"

#include <windows.h>

uint32_t ProfileReadValue(const char* section, const char* key, const char* defaultValue,
                          char* buffer, uint32_t size, const char* path) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

int ProfileWriteValue(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path);
}

uint32_t ProfileReadSection(const char* section, char* buffer, uint32_t size, const char* path) {
    return GetPrivateProfileSectionA(section, buffer, size, path);
}

uint32_t ProfileReadSectionNames(char* buffer, uint32_t size, const char* path) {
    return GetPrivateProfileSectionNamesA(buffer, size, path);
}

int ProfileWriteSection(const char* section, const char* list, const char* path) {
    return WritePrivateProfileSectionA(section, list, path);
}

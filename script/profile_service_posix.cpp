// The profile service where the platform has none: the profile-file module.
#include "profile_service.h"

#include "profile_file.h"

uint32_t ProfileReadValue(const char* section, const char* key, const char* defaultValue,
                          char* buffer, uint32_t size, const char* path) {
    return ProfileFileReadValue(section, key, defaultValue, buffer, size, path);
}

int ProfileWriteValue(const char* section, const char* key, const char* value, const char* path) {
    return ProfileFileWriteValue(section, key, value, path);
}

uint32_t ProfileReadSection(const char* section, char* buffer, uint32_t size, const char* path) {
    return ProfileFileReadSection(section, buffer, size, path);
}

uint32_t ProfileReadSectionNames(char* buffer, uint32_t size, const char* path) {
    return ProfileFileReadSectionNames(buffer, size, path);
}

int ProfileWriteSection(const char* section, const char* list, const char* path) {
    return ProfileFileWriteSection(section, list, path);
}

// Feeds arbitrary bytes to the profile-file module as a file and reads it the
// ways IniFile does: the section names, each section's lines and key names,
// each key's value whole, cut into small buffers and typed; then one write
// that must read back. Every buffer has its exact size, so that the address
// sanitizer sees any byte written beyond it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "script/ini_file.h"
#include "script/profile_file.h"

namespace {

// Enough names and keys to reach every part of a file the fuzzer makes,
// few enough to keep each input quick.
constexpr int kMaxNames = 32;

const std::string& FilePath() {
    static const std::string path =
        "/tmp/tolvanex-profile-fuzz-" + std::to_string(getpid()) + ".ini";
    return path;
}

bool WriteFile(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(FilePath().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// The items of a double-NUL list, at most kMaxNames of them.
std::vector<std::string> Items(const std::vector<char>& list) {
    std::vector<std::string> items;
    for (const char* item = list.data(); *item != '\0' && items.size() < kMaxNames;
         item += std::strlen(item) + 1) {
        items.emplace_back(item);
    }
    return items;
}

void ReadKey(const IniFile& ini, const char* section, const char* key, uint32_t smallSize) {
    char* value = ini.ReadValue(section, key, "default");
    delete[] value;
    std::vector<char> cut(smallSize);
    ini.ReadString(section, key, cut.data(), smallSize);
    ini.ReadInt(section, key, 1, 16);
    ini.ReadBool(section, key, 1);
    ini.ReadDouble(section, key, 1.0);
    ini.ReadRecord8(section, key, Record8{{1, 2}});
    std::vector<char> list(smallSize + 2);
    ini.ReadList(section, key, list.data(), smallSize + 2, ";", 1);
    ini.KeyExists(section, key);
}

void ReadSection(const IniFile& ini, const char* section, uint32_t smallSize) {
    std::vector<char> cut(smallSize);
    ProfileFileReadSection(section, cut.data(), smallSize, FilePath().c_str());
    uint32_t room = ini.ReadKeyNames(section, nullptr, 0) + 1;
    std::vector<char> keys(room);
    ini.ReadKeyNames(section, keys.data(), room);
    std::vector<char> someKeys(smallSize);
    ini.ReadKeyNames(section, someKeys.data(), smallSize);
    for (const std::string& key : Items(keys)) {
        ReadKey(ini, section, key.c_str(), smallSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteFile(data, size)) {
        return 0;
    }
    uint32_t smallSize = size > 0 ? data[0] % 24 : 0;
    IniFile ini(FilePath().c_str());

    uint32_t room = ini.ReadSectionNames(nullptr, 0);
    std::vector<char> names(room);
    ini.ReadSectionNames(names.data(), room);
    std::vector<char> someNames(smallSize);
    ProfileFileReadSectionNames(someNames.data(), smallSize, FilePath().c_str());
    ReadSection(ini, "", smallSize);
    for (const std::string& name : Items(names)) {
        ReadSection(ini, name.c_str(), smallSize);
    }

    if (ini.WriteString("fuzz", "key", "value") != 0) {
        char value[8];
        if (ini.ReadString("fuzz", "key", value, sizeof value) != 5 ||
            std::strcmp(value, "value") != 0) {
            std::abort();
        }
    }
    return 0;
}

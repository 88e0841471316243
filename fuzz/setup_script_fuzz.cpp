// Feeds arbitrary bytes to the installer as its setup script: the settings
// are loaded, and every value of every section is expanded as the install
// engine expands them, with run values of full length. Each result must stay
// within the 260 bytes ExpandPlaceholders promises.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "script/ini_file.h"
#include "script/placeholders.h"
#include "script/setup_script.h"

namespace {

constexpr int kMaxNames = 32;

const std::string& FilePath() {
    static const std::string path =
        "/tmp/tolvanex-script-fuzz-" + std::to_string(getpid()) + ".ini";
    return path;
}

std::vector<std::string> Items(const std::vector<char>& list) {
    std::vector<std::string> items;
    for (const char* item = list.data(); *item != '\0' && items.size() < kMaxNames;
         item += std::strlen(item) + 1) {
        items.emplace_back(item);
    }
    return items;
}

void Expand(const char* text) {
    char* expanded = ExpandPlaceholders(text);
    if (expanded == nullptr || std::strlen(expanded) >= 260) {
        std::abort();
    }
    delete[] expanded;
    ReplaceAll(text, kInstallDirToken, "C:\\Programme\\Beispiel\\");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(FilePath().c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    // Run values as long as their buffers allow, so that every cut is met.
    static const std::string programFiles = std::string(258, 'p') + "\\";
    static const std::string destination = "C:\\" + std::string(250, 'd') + "\\";
    static const std::string user(254, 'u');
    SetPlaceholderValues({programFiles.c_str(), destination.c_str(), user.c_str(), "%%USER%%"});

    IniFile script(FilePath().c_str());
    SetupSettings settings;
    LoadSetupSettings(script, &settings);
    Expand(settings.DestinationDirectory);
    Expand(settings.DoneLaunchPath);

    std::vector<char> names(script.ReadSectionNames(nullptr, 0) + 2);
    script.ReadSectionNames(names.data(), static_cast<uint32_t>(names.size()));
    for (const std::string& section : Items(names)) {
        std::vector<char> keys(script.ReadKeyNames(section.c_str(), nullptr, 0) + 2);
        script.ReadKeyNames(section.c_str(), keys.data(), static_cast<uint32_t>(keys.size()));
        for (const std::string& key : Items(keys)) {
            char value[260];
            script.ReadString(section.c_str(), key.c_str(), value, sizeof value, "");
            Expand(value);
            script.ReadInt(section.c_str(), key.c_str(), 0, 10);
            char listKey[kListKeySize];
            FormatListKey("%s_dest", static_cast<int>(key.size()), listKey);
        }
    }
    return 0;
}

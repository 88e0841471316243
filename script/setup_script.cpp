#include "setup_script.h"

#include "ini_file.h"

#include <cstdio>

namespace {

// One [main] or [dialogs] text, read into a field no smaller than its row.
template <const char* Section, const char* Key, size_t N>
void ReadSetting(const IniFile& script, char (&field)[N]) {
    constexpr SetupKeyRule rule = SetupRuleOf(Section, Key);
    static_assert(rule.size > 0 && static_cast<size_t>(rule.size) <= N, "a field per row");
    script.ReadString(Section, Key, field, rule.size, "");
}

template <const char* Section, const char* Key> int ReadFlag(const IniFile& script) {
    constexpr SetupKeyRule rule = SetupRuleOf(Section, Key);
    return script.ReadBool(Section, Key, rule.fallbackFlag);
}

} // namespace

void LoadSetupSettings(const IniFile& script, SetupSettings* settings) {
    ReadSetting<kMainSection, kAppTitleKey>(script, settings->ApplicationTitle);
    ReadSetting<kMainSection, kVersionKey>(script, settings->ApplicationVersion);
    ReadSetting<kMainSection, kPublisherKey>(script, settings->PublisherName);
    ReadSetting<kMainSection, kUrlKey>(script, settings->PublisherUrl);
    settings->ShowReadme = ReadFlag<kDialogsSection, kShowReadmeKey>(script);
    settings->ShowLicense = ReadFlag<kDialogsSection, kShowLicenseKey>(script);
    settings->ShowUserInfo = ReadFlag<kDialogsSection, kShowUserInfoKey>(script);
    settings->DoneShowReadme = ReadFlag<kDialogsSection, kDoneShowReadmeKey>(script);
    settings->DoneShowLaunch = ReadFlag<kDialogsSection, kDoneShowLaunchKey>(script);
    ReadSetting<kMainSection, kDestDirKey>(script, settings->DestinationDirectory);
    ReadSetting<kDialogsSection, kDoneShowReadmePathKey>(script, settings->DoneReadmePath);
    ReadSetting<kDialogsSection, kDoneShowLaunchPathKey>(script, settings->DoneLaunchPath);
}

void FormatListKey(const char* keyFormat, int index, char* key) {
    char number[16];
    std::snprintf(number, sizeof(number), "%d", index);
    std::snprintf(key, kListKeySize, keyFormat, number);
}

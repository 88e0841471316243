#include "setup_script.h"

#include "ini_file.h"

#include <cstdio>

void LoadSetupSettings(const IniFile& script, SetupSettings* settings) {
    script.ReadString(kMainSection, kAppTitleKey, settings->ApplicationTitle, kTextSize, "");
    script.ReadString(kMainSection, kVersionKey, settings->ApplicationVersion, kTextSize, "");
    script.ReadString(kMainSection, kPublisherKey, settings->PublisherName, kTextSize, "");
    script.ReadString(kMainSection, kUrlKey, settings->PublisherUrl, kTextSize, "");
    settings->ShowReadme = script.ReadBool(kDialogsSection, kShowReadmeKey, 0);
    settings->ShowLicense = script.ReadBool(kDialogsSection, kShowLicenseKey, 0);
    settings->ShowUserInfo = script.ReadBool(kDialogsSection, kShowUserInfoKey, 0);
    settings->DoneShowReadme = script.ReadBool(kDialogsSection, kDoneShowReadmeKey, 0);
    settings->DoneShowLaunch = script.ReadBool(kDialogsSection, kDoneShowLaunchKey, 0);
    script.ReadString(kMainSection, kDestDirKey, settings->DestinationDirectory, kPathSize, "");
    script.ReadString(kDialogsSection, kDoneShowReadmePathKey, settings->DoneReadmePath, kPathSize,
                      "");
    script.ReadString(kDialogsSection, kDoneShowLaunchPathKey, settings->DoneLaunchPath, kPathSize,
                      "");
}

void FormatListKey(const char* keyFormat, int index, char* key) {
    char number[16];
    std::snprintf(number, sizeof(number), "%d", index);
    std::snprintf(key, kListKeySize, keyFormat, number);
}

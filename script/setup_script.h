// The setup script (setup.ini): its sections and keys, and the settings the
// start-up reads from it once.
#pragma once

#include "script/setup_script_schema.h"

class IniFile;

struct SetupSettings {
    char ApplicationTitle[kTextSize];
    char ApplicationVersion[kTextSize];
    char PublisherName[kTextSize];
    char PublisherUrl[kTextSize];
    int ShowReadme;
    int ShowLicense;
    int ShowUserInfo;
    int DoneShowReadme;
    int DoneShowLaunch;
    char DestinationDirectory[kPathSize]; // "destdir" as written, not expanded
    char DoneReadmePath[kPathSize];
    char DoneLaunchPath[kPathSize];
};

// Fills every field from the script's [main] and [dialogs] sections; absent
// or empty keys give empty texts and false. Values longer than their field
// are cut. Placeholders are left as written.
void LoadSetupSettings(const IniFile& script, SetupSettings* settings);

// Key of list item `index` for one of the "%s_..." key formats of the
// schema, such as "3_dest" for 3 and kShortcutTargetKey. `key` holds
// kListKeySize bytes.
void FormatListKey(const char* keyFormat, int index, char* key);

// Support files in the payload, staged under these names; the uninstaller,
// which the installation copies into its folder, is named with the log's
// format (uninstall_log_format.h).
inline constexpr char kSetupScriptFile[] = "setup.ini";
inline constexpr char kLeftPictureFile[] = "left.jpg";
inline constexpr char kTopPictureFile[] = "top.jpg";
inline constexpr char kLicenseFile[] = "license.rtf";
inline constexpr char kReadmeFile[] = "readme.rtf";
inline constexpr char kDotNetRedistributableFile[] = "dotnetfx.exe";
// Application files are the entries "file_" followed by their [files] key.
inline constexpr char kAppEntryPrefix[] = "file_";

// The setup script (setup.ini): its sections and keys, and the settings the
// start-up reads from it once.
#pragma once

class IniFile;

constexpr int kPathSize = 260; // MAX_PATH, terminator included
constexpr int kTextSize = 255;

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

// Key of list item `index` for one of the "%s_..." key formats below, such as
// "3_dest" for 3 and kShortcutTargetKey. `key` holds kListKeySize bytes.
constexpr int kListKeySize = 64;
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

// Every list section counts its items with this key (not read for [files]).
inline constexpr char kCountKey[] = "count";

inline constexpr char kMainSection[] = "main";
inline constexpr char kAppTitleKey[] = "apptitle";
inline constexpr char kVersionKey[] = "version";
inline constexpr char kPublisherKey[] = "publisher";
inline constexpr char kUrlKey[] = "url";
inline constexpr char kDestDirKey[] = "destdir";
inline constexpr char kDotNetKey[] = "dotnet";

inline constexpr char kDialogsSection[] = "dialogs";
inline constexpr char kShowLicenseKey[] = "show_license";
inline constexpr char kShowReadmeKey[] = "show_readme";
inline constexpr char kShowUserInfoKey[] = "show_userinfo";
inline constexpr char kDoneShowReadmeKey[] = "done_show_readme";
inline constexpr char kDoneShowReadmePathKey[] = "done_show_readme_path";
inline constexpr char kDoneShowLaunchKey[] = "done_show_launch";
inline constexpr char kDoneShowLaunchPathKey[] = "done_show_launch_path";

// Keys "1" to count, each a directory path.
inline constexpr char kFoldersSection[] = "folders";
// Keys named after the application entries, each a full target path.
inline constexpr char kFilesSection[] = "files";
// Keys "0" to count - 1, each a directory path.
inline constexpr char kShellFoldersSection[] = "shell_folders";

inline constexpr char kShellItemsSection[] = "shell_items";
inline constexpr char kShortcutTargetKey[] = "%s_dest";
inline constexpr char kShortcutFileKey[] = "%s_lnk";
inline constexpr char kShortcutDescriptionKey[] = "%s_desc";
inline constexpr char kShortcutWorkingDirectoryKey[] = "%s_work";
inline constexpr char kShortcutArgumentsKey[] = "%s_args";

inline constexpr char kRegistrySection[] = "reg";
inline constexpr char kRegistryRootKey[] = "%s_hkey";
inline constexpr char kRegistryKeyPathKey[] = "%s_key";
inline constexpr char kRegistryValueNameKey[] = "%s_value";
inline constexpr char kRegistryDataKey[] = "%s_std";
inline constexpr char kRegistryTypeKey[] = "%s_type";
constexpr int kRegistryNameSize = 100; // "%s_hkey" and "%s_type"

inline constexpr char kServiceSection[] = "svc";
inline constexpr char kServiceNameKey[] = "%s_name";
inline constexpr char kServiceDisplayNameKey[] = "%s_displayname";
inline constexpr char kServiceBinaryPathKey[] = "%s_binpath";
inline constexpr char kServiceTypeKey[] = "%s_type";
inline constexpr char kServiceStartTypeKey[] = "%s_starttype";
inline constexpr char kServiceErrorControlKey[] = "%s_errortype";
constexpr int kServiceNameSize = 256;   // "%s_name" and "%s_displayname"
constexpr int kServiceSettingSize = 50; // "%s_type", "%s_starttype", "%s_errortype"

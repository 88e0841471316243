// What an installation leaves in its folder for the uninstaller: the
// uninstaller itself and uninstall.log, the record of what was created. The
// installer writes the log, the uninstaller reads it; both take its names
// from here. The log is a profile file that begins with a fixed comment line;
// sections appear in the order of their first entry. The numbering bases
// differ between sections and are part of the format:
//   [main]          appptitle (three p, as every installed copy has it)
//   [folders]       count first, then 1..n as in the setup script
//   [files]         1..m in payload order, then count
//   [shell_folders] 0..n-1, then count
//   [shell_items]   0..n-1 (the shortcut files), then count
//   [reg_key]       %d_hkey, %d_key for each key created, counted from 0
//   [reg_val]       %d_hkey, %d_key, %d_value for each value written, from 0
//   [svc]           the index of the script entry of each created service
#pragma once

#include <cstddef>

inline constexpr char kUninstallerFile[] = "uninstall.exe";
inline constexpr char kUninstallLogName[] = "uninstall.log";
inline constexpr char kUninstallLogHeader[] = "; Tolvanex uninstall log\r\n\r\n";

// The installation registers itself for removal under this key of
// HKEY_LOCAL_MACHINE followed by the script's apptitle.
inline constexpr char kUninstallRegistrationKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Transient files of an installation that the uninstaller removes too, since
// an installation that was cut short leaves them: the new copy of the log
// that replaces it when an earlier section grows (the log's name with this
// suffix), and the folder, below the installation folder, into which the
// application files are extracted before they are moved to their targets
// (each under its payload entry's name, "file_" and a number).
inline constexpr char kUninstallLogUpdateSuffix[] = ".new";
inline constexpr char kExtractionFolder[] = "~tmp";

inline constexpr char kLogMainSection[] = "main";
inline constexpr char kLogTitleKey[] = "appptitle";
inline constexpr char kLogCountKey[] = "count";
inline constexpr char kLogFoldersSection[] = "folders";
inline constexpr char kLogFilesSection[] = "files";
inline constexpr char kLogShellFoldersSection[] = "shell_folders";
inline constexpr char kLogShellItemsSection[] = "shell_items";
inline constexpr char kLogRegistryKeysSection[] = "reg_key";
inline constexpr char kLogRegistryValuesSection[] = "reg_val";
inline constexpr char kLogServicesSection[] = "svc";

// The fields of the registry sections' keys: "0_hkey", "0_key", "0_value".
inline constexpr char kLogRootField[] = "_hkey";
inline constexpr char kLogKeyPathField[] = "_key";
inline constexpr char kLogValueNameField[] = "_value";

constexpr int kFirstLoggedFile = 1;
constexpr int kFirstLoggedRegistryEntry = 0;

// The installer's buffers, terminator included: a logged path or name is
// shorter, a logged title shorter than kLogTitleSize.
constexpr size_t kLogPathSize = 260;
constexpr size_t kLogTitleSize = 255;

// Room for a decimal int and a field.
constexpr size_t kLogKeySize = 32;

// The key of entry `number` with a field ("" for the plain sections), such as
// "7" or "7_hkey". `key` holds kLogKeySize bytes.
void FormatLogKey(char* key, int number, const char* field);

// The reverse: true for digits (at most nine, so no overflow) followed by
// nothing or by "_" and a field name, with the number and the field ("" or
// "_hkey" and so on, lent from `key`); false for every other key, "count"
// among them.
bool ParseLogKey(const char* key, unsigned long* number, const char** field);

// How many earlier logs of installations into the same folder are kept.
constexpr int kMaxEarlierLogs = 99;

constexpr size_t kEarlierLogPathSize = 270;

// The name under which the log at path is kept when a later installation
// starts a new one: "uninstall.log" with number 2 gives "uninstall.2.log".
// False, with nothing usable in buffer, when path does not end in ".log" or
// the name does not fit in size bytes.
bool EarlierLogPath(const char* path, int number, char* buffer, size_t size);

// The targets an installation replaced: files that were there before it
// moved its own over them, so that the uninstaller leaves them. The list
// lies beside its log under the log's name with ".replaced" in place of
// ".log" ("uninstall.replaced"; "uninstall.2.replaced" beside
// "uninstall.2.log") and moves with it when it is kept as an earlier log; it
// exists only once a target was replaced. A profile file: the header line,
// then [replaced] with, for each replaced target, the number of the [files]
// entry whose file replaced it = the target, as logged there.
inline constexpr char kReplacedListHeader[] = "; Tolvanex replaced files\r\n\r\n";
inline constexpr char kReplacedSection[] = "replaced";
constexpr size_t kReplacedListPathSize = kEarlierLogPathSize + 8;

// The list's path for the log at `logPath`. False, with nothing usable in
// buffer, when the path does not end in ".log" or the name does not fit.
bool ReplacedListPath(const char* logPath, char* buffer, size_t size);

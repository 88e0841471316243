// End-to-end runs of setup.exe under Wine: payloads built for the test, the
// robot driving the wizard with a private temporary directory, and reads of
// what the installation left on the system.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One payload entry: the bytes of `data`, or of the file `sourcePath` when set.
struct PayloadEntry {
    std::string name;
    std::string data;
    std::string sourcePath;
};

// A fixed entry time, 2021-06-15 12:34:56 local time, as MS-DOS date and time.
constexpr uint32_t kEntryDosDateTime =
    (((2021 - 1980) << 25) | (6 << 21) | (15 << 16)) | ((12 << 11) | (34 << 5) | (56 / 2));

// Packs the entries behind setup.exe into `outPath`. False on any failure.
bool BuildSetup(const std::string& outPath, const std::vector<PayloadEntry>& entries);

// A payload's support files: the pictures, the licence and readme texts.
std::vector<PayloadEntry> SupportEntries();

// A text as one quoted word of a robot script.
std::string RobotWord(const std::string& text);

struct RobotRun {
    int exitCode;
    std::string transcript;
};

// Runs the robot script with ${SETUP} set to `setupPath`, the given extra
// variables, and TEMP and TMP pointing at `tempDirectory`; `environment`
// adds NAME=VALUE settings for the robot and the programs it starts.
RobotRun RunRobot(const std::string& script, const std::string& setupPath,
                  const std::string& tempDirectory,
                  const std::vector<std::string>& environment = {});

// Makes Wine leave the wizard's windows unmanaged: there is no window manager
// under Xvfb, and waiting for one costs two seconds per closed page.
void PrepareWineDisplay();

// The test's own directory below the temporary directory, emptied.
std::string FreshWorkDirectory(const std::string& name);
void RemoveTree(const std::string& path);
bool DirectoryIsEmpty(const std::string& path);
bool PathExists(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string* content);
bool WriteWholeFile(const std::string& path, const std::string& content);

// Registry helpers; root is a predefined key.
void DeleteRegistryTree(HKEY root, const std::string& path);
bool RegistryKeyExists(HKEY root, const std::string& path);
// The value's type and data; false when it cannot be read.
bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                       std::string* data);

struct ServiceSettings {
    std::string displayName;
    std::string binaryPath;
    DWORD type;
    DWORD startType;
    DWORD errorControl;
};
bool ReadServiceSettings(const std::string& name, ServiceSettings* settings);
void DeleteServiceIfPresent(const std::string& name);

struct ShortcutSettings {
    std::string target;
    std::string description;
    std::string arguments;
    std::string workingDirectory;
};
bool LoadShortcut(const std::string& path, ShortcutSettings* settings);

// The current user's start-menu programs folder, without a trailing backslash.
std::string ProgramsMenuDirectory();

// The local time of a file's last write as MS-DOS date and time.
bool FileDosDateTime(const std::string& path, uint32_t* dosDateTime);

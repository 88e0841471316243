// uninstall.exe itself on installations crafted as the installer leaves them,
// without setup.exe (example_e2e.sh removes the example installation): quiet
// removal, a file in use, logs it must not act on, and the answer No.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "driver/uninstall_log.h"
#include "windows_test_support.h"

namespace {

const char kTitle[] = "Tolvanex Uninstall E2E";
const char kAppKey[] = "Software\\Tolvanex Uninstall E2E";
const char kRegistrationKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvanex Uninstall E2E";
const char kServiceName[] = "TolvanexUninstallTestService";
const char kEnvironmentValue[] = "TOLVANEX_UNINSTALL_E2E";

std::string ShellFolder(int id) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Runs the program and returns its exit code, or -1 when it did not start or end.
int RunProgram(const std::string& program, const std::string& arguments) {
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

#ifdef UNINSTALL_ROBOT
// A word of a robot script: quoted, with its escapes.
std::string RobotWord(const std::string& text) {
    std::string word = "\"";
    for (char c : text) {
        word += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return word + "\"";
}

// Runs the UI robot on a script and returns its exit code; its transcript
// goes to the test's output.
int RunRobot(const std::string& script) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string scriptPath = std::string(temp) + "uninstall-robot-script.txt";
    WriteTextFile(scriptPath, script);
    int code = RunProgram(UNINSTALL_ROBOT, "\"" + scriptPath + "\"");
    DeleteFileA(scriptPath.c_str());
    return code;
}

const char kConfirmation[] = "Möchten Sie Tolvanex Uninstall E2E und alle zugehörigen Komponenten "
                             "vollständig von Ihrem Computer entfernen?";
#endif

// The uninstaller's copy removes the original a moment after it has ended.
bool WaitUntilGone(const std::string& path) {
    for (int i = 0; i < 300 && Exists(path); ++i) {
        Sleep(100);
    }
    return !Exists(path);
}

std::string PendingRenames() {
    HKEY key = nullptr;
    std::string names;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        std::vector<char> data(65536);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
            for (DWORD i = 0; i < size; ++i) {
                names += data[i] == '\0' ? '|' : data[i];
            }
        }
        RegCloseKey(key);
    }
    return names;
}

class UninstallProgramTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder(kTitle);
        menu = ShellFolder(CSIDL_PROGRAMS) + "\\" + kTitle;
        uninstaller = folder + "uninstall.exe";
        logPath = folder + kUninstallLogName;
        CleanUp();
        folder = MakeScratchFolder(kTitle);
    }
    void TearDown() override { CleanUp(); }

    void CleanUp() {
        DeleteTestService(kServiceName);
        RemoveScratchFolder(folder);
        RemoveScratchFolder(menu);
        RemoveKeyTree(HKEY_CURRENT_USER, kAppKey);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, kRegistrationKey);
        HKEY environment = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Environment", 0, KEY_SET_VALUE, &environment) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(environment, kEnvironmentValue);
            RegCloseKey(environment);
        }
    }

    // Creates what the installer creates and logs it as the installer does.
    void Install() {
        std::string data = folder + "Daten";
        std::string templates = data + "\\Vorlagen";
        std::string service = folder + "Dienst";
        IniFile log;
        UninstallLogWriter writer{};
        ASSERT_TRUE(StartUninstallLog(writer, log, logPath.c_str(), kTitle));
        LogFolderCount(writer, 3);
        for (const std::string& path : {data, templates, service}) {
            CreateDirectoryA(path.c_str(), nullptr);
        }
        LogFolder(writer, 1, data.c_str());
        LogFolder(writer, 2, templates.c_str());
        LogFolder(writer, 3, service.c_str());
        files = {folder + "beispiel.exe", templates + "\\vorlage.txt", service + "\\dienst.exe"};
        WriteTextFile(files[0], "app");
        WriteTextFile(files[1], "vorlage");
        ASSERT_TRUE(CopyFileA(UNINSTALL_TEST_SERVICE, files[2].c_str(), FALSE));
        for (const std::string& file : files) {
            LogFile(writer, file.c_str());
        }
        LogFileCount(writer);
        ASSERT_TRUE(CopyFileA(UNINSTALL_PROGRAM, uninstaller.c_str(), FALSE));

        SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString", uninstaller);
        SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "DisplayName", kTitle);
        CreateDirectoryA(menu.c_str(), nullptr);
        LogShellFolder(writer, 0, menu.c_str());
        LogShellFolderCount(writer, 1);
        shortcut = menu + "\\Beispiel.lnk";
        WriteTextFile(shortcut, "link");
        LogShellItem(writer, 0, shortcut.c_str());
        LogShellItemCount(writer, 1);

        SetStringValue(HKEY_CURRENT_USER, kAppKey, "", folder);
        LogCreatedRegistryKey(writer, "HKEY_CURRENT_USER", kAppKey);
        SetStringValue(HKEY_CURRENT_USER, kAppKey, "Pfad", folder);
        LogWrittenRegistryValue(writer, "HKEY_CURRENT_USER", kAppKey, "Pfad");
        SetStringValue(HKEY_CURRENT_USER, "Environment", kEnvironmentValue, folder);
        LogWrittenRegistryValue(writer, "HKEY_CURRENT_USER", "Environment", kEnvironmentValue);

        ASSERT_TRUE(CreateTestService(kServiceName, files[2]));
        ASSERT_TRUE(StartTestService(kServiceName));
        LogService(writer, 0, kServiceName);
    }

    void ExpectAllButTheFolderRemoved() {
        for (const std::string& file : files) {
            EXPECT_FALSE(Exists(file)) << file;
        }
        EXPECT_FALSE(Exists(folder + "Daten"));
        EXPECT_FALSE(Exists(folder + "Dienst"));
        EXPECT_FALSE(Exists(logPath));
        EXPECT_FALSE(Exists(menu));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Environment", kEnvironmentValue));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Environment"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRegistrationKey));
        EXPECT_FALSE(ServiceExists(kServiceName));
        EXPECT_TRUE(WaitUntilGone(uninstaller));
    }

    std::string folder;
    std::string menu;
    std::string uninstaller;
    std::string logPath;
    std::string shortcut;
    std::vector<std::string> files;
};

TEST_F(UninstallProgramTest, QuietRemovalLeavesNothing) {
    Install();
    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 0);
    ExpectAllButTheFolderRemoved();
    EXPECT_TRUE(WaitUntilGone(folder));
    // Only the uninstaller's copy in the temporary directory waits for the
    // restart.
    EXPECT_NE(PendingRenames().find("\\uninstall.exe||"), std::string::npos) << PendingRenames();
}

// A log as long as the installer writes for its largest installations, with
// the first one kept beside it as an earlier log: the uninstaller once
// refused every log over 100,000 lines or 8 MiB.
TEST_F(UninstallProgramTest, ALogOfSeventyThousandLinesIsRemovedWhole) {
    Install();
    IniFile log;
    UninstallLogWriter writer{};
    ASSERT_TRUE(StartUninstallLog(writer, log, logPath.c_str(), kTitle));
    const int folders = 4000;
    LogFolderCount(writer, folders);
    for (int j = 1; j <= folders; ++j) {
        LogFolder(writer, j, (folder + "Ordner" + std::to_string(j)).c_str());
    }
    // Long names, as the log's size bound counts bytes.
    const std::string name = folder + std::string(200, 'n');
    for (int k = 1; k <= 66000; ++k) {
        LogFile(writer, (name + std::to_string(k)).c_str());
    }
    LogFileCount(writer);
    LogShellFolderCount(writer, 0);
    LogShellItemCount(writer, 0);
    FinishUninstallLog(writer);
    WIN32_FILE_ATTRIBUTE_DATA size = {};
    ASSERT_TRUE(GetFileAttributesExA(logPath.c_str(), GetFileExInfoStandard, &size));
    EXPECT_GT(size.nFileSizeLow, 8u << 20);

    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 0);
    ExpectAllButTheFolderRemoved();
    EXPECT_TRUE(WaitUntilGone(folder));
}

TEST_F(UninstallProgramTest, AFileInUseRemainsAndIsReported) {
    Install();
    HANDLE open = CreateFileA(files[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 1);
    CloseHandle(open);
    EXPECT_TRUE(Exists(files[1]));
    EXPECT_FALSE(Exists(files[0]));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRegistrationKey));
    EXPECT_TRUE(WaitUntilGone(uninstaller));
}

TEST_F(UninstallProgramTest, WithoutALogNothingIsRemoved) {
    Install();
    DeleteFileA(logPath.c_str());
    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 2);
    EXPECT_TRUE(Exists(files[0]));
    EXPECT_TRUE(ServiceExists(kServiceName));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kRegistrationKey));
    Sleep(1000);
    EXPECT_TRUE(Exists(uninstaller));
}

TEST_F(UninstallProgramTest, ADamagedLogRemovesNothing) {
    Install();
    WriteTextFile(logPath, "[files]\r\n1=" + files[0] + "\r\n");
    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 2);
    EXPECT_TRUE(Exists(files[0]));
    EXPECT_TRUE(Exists(logPath));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kAppKey));
}

TEST_F(UninstallProgramTest, UnsafeEntriesAreLeftAndReported) {
    Install();
    std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    IniFile log(logPath.c_str());
    log.WriteString("shell_folders", "1", desktop.c_str());
    log.WriteString("folders", "4", "C:\\");
    log.WriteString("files", "9", "beispiel.exe");
    log.WriteString("reg_key", "1_hkey", "HKEY_CURRENT_USER");
    log.WriteString("reg_key", "1_key", "HKEY_CURRENT_USER\\");
    EXPECT_EQ(RunProgram(uninstaller, "/quiet"), 1);
    EXPECT_TRUE(Exists(desktop));
    ExpectAllButTheFolderRemoved();
    EXPECT_TRUE(WaitUntilGone(folder));
}

#ifdef UNINSTALL_ROBOT
// A robot script that starts the uninstaller, answers its message boxes in
// turn (answer, then the text it must show) and expects its exit code.
std::string RobotScript(const std::string& program,
                        const std::vector<std::pair<const char*, std::string>>& boxes,
                        int exitCode) {
    std::string script = "start " + RobotWord(program) + "\n";
    for (const auto& box : boxes) {
        script += std::string("answer-msgbox ") + box.first + " Deinstallation " +
                  RobotWord(box.second) + "\n";
    }
    return script + "wait-exit " + std::to_string(exitCode) + "\n";
}

TEST_F(UninstallProgramTest, ThroughItsWindowsRemovesNothingWhenTheUserSaysNo) {
    Install();
    EXPECT_EQ(RunRobot(RobotScript(uninstaller, {{"no", kConfirmation}}, 1)), 0);
    EXPECT_TRUE(Exists(files[0]));
    EXPECT_TRUE(Exists(logPath));
    EXPECT_TRUE(ServiceExists(kServiceName));
    Sleep(1000);
    EXPECT_TRUE(Exists(uninstaller));
}

TEST_F(UninstallProgramTest, ThroughItsWindowsTellsOfAMissingLog) {
    Install();
    DeleteFileA(logPath.c_str());
    std::string message = "Die Deinstallationsdatei \"" + logPath +
                          "\" wurde nicht gefunden.\n\nEs wurde nichts entfernt.";
    EXPECT_EQ(RunRobot(RobotScript(uninstaller, {{"ok", message}}, 2)), 0);
    EXPECT_TRUE(Exists(files[0]));
}
#endif

} // namespace

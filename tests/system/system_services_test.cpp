#include "system/processes.h"
#include "system/shell.h"
#include "system/system_services.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr char kPolicyKey[] = "SOFTWARE\\Microsoft\\.NETFramework\\policy\\v1.0";

std::string OwnProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string StubPath() {
    const std::string own = OwnProgramPath();
    return own.substr(0, own.rfind('\\') + 1) + "stub_redistributable.exe";
}

std::string KnownFolderPath(REFKNOWNFOLDERID folder) {
    PWSTR wide = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(folder, 0, nullptr, &wide))) {
        char narrow[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH, nullptr, nullptr);
        path = narrow;
    }
    CoTaskMemFree(wide);
    return path;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True when the calling thread's COM was left uninitialised, as CreateShortcut
// must leave it.
bool ComIsUninitialised() {
    const HRESULT result = CoInitialize(nullptr);
    if (SUCCEEDED(result)) {
        CoUninitialize();
    }
    return result == S_OK;
}

// Collects undo steps for what a test creates and runs them in reverse.
class Undo {
public:
    ~Undo() {
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
            (*step)();
        }
    }
    void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }

private:
    std::vector<std::function<void()>> steps_;
};

std::string MakeTempDirectory(Undo& undo) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string path =
        std::string(base) + "tolvanex-system-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
    undo.Add([path] { RemoveDirectoryA(path.c_str()); });
    return path + "\\";
}

struct ShortcutFields {
    std::string target, description, arguments, workingDirectory;
};

// A shell link object and its file interface, with COM set up meanwhile.
struct ShellLinkObject {
    ShellLinkObject() {
        CoInitialize(nullptr);
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkA, reinterpret_cast<void**>(&link)))) {
            link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        }
    }
    ~ShellLinkObject() {
        if (file != nullptr) {
            file->Release();
        }
        if (link != nullptr) {
            link->Release();
        }
        CoUninitialize();
    }
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
};

std::wstring Wide(const std::string& path) {
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    return wide;
}

ShortcutFields LoadShortcut(const std::string& shortcutPath) {
    ShellLinkObject shell;
    ShortcutFields fields;
    if (shell.file == nullptr || FAILED(shell.file->Load(Wide(shortcutPath).c_str(), STGM_READ))) {
        return fields;
    }
    char text[MAX_PATH] = {};
    shell.link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    fields.target = text;
    shell.link->GetDescription(text, MAX_PATH);
    fields.description = text;
    shell.link->GetArguments(text, MAX_PATH);
    fields.arguments = text;
    shell.link->GetWorkingDirectory(text, MAX_PATH);
    fields.workingDirectory = text;
    return fields;
}

// The code the shell link's own Save gives for `shortcutPath`.
HRESULT SaveEmptyShortcut(const std::string& shortcutPath) {
    ShellLinkObject shell;
    return shell.file != nullptr ? shell.file->Save(Wide(shortcutPath).c_str(), TRUE) : E_FAIL;
}

TEST(ShellFolders, AreTheCurrentUsersDesktopAndProgramsFolders) {
    struct Case {
        void (*fetch)(char*);
        const KNOWNFOLDERID& userFolder;
        const KNOWNFOLDERID& commonFolder;
    } cases[] = {
        {GetDesktopPath, FOLDERID_Desktop, FOLDERID_PublicDesktop},
        {GetProgramsMenuPath, FOLDERID_Programs, FOLDERID_CommonPrograms},
    };
    char profile[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH));
    for (const Case& c : cases) {
        char path[MAX_PATH] = "untouched";
        c.fetch(path);
        const std::string expected = KnownFolderPath(c.userFolder);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(expected, path);
        EXPECT_NE(KnownFolderPath(c.commonFolder), path);
        EXPECT_EQ(0, _strnicmp(path, profile, std::strlen(profile))) << path;
    }
}

TEST(CreateShortcut, SavesAShortcutWithTheGivenFields) {
    Undo undo;
    const std::string directory = MakeTempDirectory(undo);
    const ShortcutFields cases[] = {
        {OwnProgramPath(), "Tolvanex Testanwendung", "/q \"mit Leerzeichen\"", directory},
        {OwnProgramPath(), "", "", ""},
    };
    for (const ShortcutFields& given : cases) {
        const std::string shortcut = directory + "Anwendung.lnk";
        undo.Add([shortcut] { DeleteFileA(shortcut.c_str()); });
        ASSERT_EQ(S_OK,
                  CreateShortcut(given.target.c_str(), shortcut.c_str(), given.description.c_str(),
                                 given.arguments.c_str(), given.workingDirectory.c_str()));
        EXPECT_TRUE(ComIsUninitialised());
        const ShortcutFields loaded = LoadShortcut(shortcut);
        EXPECT_EQ(0, _stricmp(given.target.c_str(), loaded.target.c_str())) << loaded.target;
        EXPECT_EQ(given.description, loaded.description);
        EXPECT_EQ(given.arguments, loaded.arguments);
        EXPECT_EQ(given.workingDirectory, loaded.workingDirectory);
    }
}

TEST(CreateShortcut, InAMissingFolderReturnsTheCodeOfSave) {
    Undo undo;
    const std::string shortcut = MakeTempDirectory(undo) + "fehlt\\Anwendung.lnk";
    const HRESULT result = CreateShortcut(OwnProgramPath().c_str(), shortcut.c_str(), "", "", "");
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(SaveEmptyShortcut(shortcut), result);
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_TRUE(ComIsUninitialised());
}

TEST(CreateShortcut, RefusesAPathThatDoesNotFitMaxPath) {
    Undo undo;
    const std::string shortcut = MakeTempDirectory(undo) + std::string(300, 'a') + ".lnk";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER),
              CreateShortcut(OwnProgramPath().c_str(), shortcut.c_str(), "", "", ""));
    EXPECT_TRUE(ComIsUninitialised());
}

TEST(HResultFromLastError, AlwaysGivesAFailureCode) {
    const struct {
        DWORD lastError;
        HRESULT expected;
    } cases[] = {
        {5, static_cast<HRESULT>(0x80070005)},
        {0, static_cast<HRESULT>(0x80004005)},
        {0x1234F, static_cast<HRESULT>(0x8007234F)},    // only the low 16 bits
        {0x8007000E, static_cast<HRESULT>(0x8007000E)}, // already a code
    };
    for (const auto& c : cases) {
        SetLastError(c.lastError);
        EXPECT_EQ(c.expected, HResultFromLastError()) << c.lastError;
    }
}

TEST(GetFileVersion, ReadsTheFixedVersionRecord) {
    VS_FIXEDFILEINFO info = {};
    ASSERT_EQ(S_OK, GetFileVersion(StubPath().c_str(), &info));
    EXPECT_EQ(0xFEEF04BDu, info.dwSignature);
    EXPECT_EQ(0x00010000u, info.dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(3705) << 16, info.dwFileVersionLS);
}

TEST(GetFileVersion, FailsWithoutVersionDataAndLeavesTheRecord) {
    const struct {
        std::string path;
        HRESULT expected; // 0: any failure
    } cases[] = {
        {OwnProgramPath(), 0},
        {StubPath() + ".fehlt", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        VS_FIXEDFILEINFO info;
        std::memset(&info, 0xAB, sizeof(info));
        VS_FIXEDFILEINFO before = info;
        const HRESULT result = GetFileVersion(c.path.c_str(), &info);
        EXPECT_TRUE(FAILED(result)) << c.path;
        if (c.expected != 0) {
            EXPECT_EQ(c.expected, result);
        }
        EXPECT_EQ(0, std::memcmp(&before, &info, sizeof(info)));
    }
}

TEST(RunAndWait, ReturnsTheExitCodeOfTheProcess) {
    for (const int code : {0, 7, 42}) {
        std::string commandLine = "\"" + StubPath() + "\" " + std::to_string(code);
        EXPECT_EQ(static_cast<DWORD>(code), RunAndWait(&commandLine[0]));
    }
}

TEST(RunAndWait, ReturnsTheFailureCodeWhenTheProcessCannotStart) {
    std::string commandLine = "\"" + StubPath() + ".fehlt\" 1";
    EXPECT_EQ(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
              RunAndWait(&commandLine[0]));
}

// Each case builds the policy key and the framework folder it needs and
// removes them again.
class DotNetDecision : public testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key))
            << "the prefix already has a v1.0 policy key";
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        windowsDirectory_ = windows;
        ASSERT_FALSE(Exists(windowsDirectory_ + "\\Microsoft.Net\\Framework\\v1.0.3705"));
    }

    void CreatePolicyValue(const char* name, size_t dataSize) {
        std::string path;
        for (const char* level : {"SOFTWARE", "Microsoft", ".NETFramework", "policy", "v1.0"}) {
            path += path.empty() ? level : std::string("\\") + level;
            HKEY key = nullptr;
            DWORD disposition = 0;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &key, &disposition));
            if (disposition == REG_CREATED_NEW_KEY) {
                undo_.Add([path] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str()); });
            }
            if (path == kPolicyKey) {
                const std::string data(dataSize, '7');
                ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ,
                                                        reinterpret_cast<const BYTE*>(data.c_str()),
                                                        static_cast<DWORD>(data.size() + 1)));
            }
            RegCloseKey(key);
        }
    }

    void CreateLanguageFolder(bool asFile) {
        std::string path = windowsDirectory_;
        for (const char* level : {"Microsoft.Net", "Framework", "v1.0.3705"}) {
            path += std::string("\\") + level;
            if (CreateDirectoryA(path.c_str(), nullptr)) {
                undo_.Add([path] { RemoveDirectoryA(path.c_str()); });
            }
        }
        const std::string language = path + "\\1033";
        if (asFile) {
            HANDLE file = CreateFileA(language.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, file);
            CloseHandle(file);
            undo_.Add([language] { DeleteFileA(language.c_str()); });
        } else {
            ASSERT_TRUE(CreateDirectoryA(language.c_str(), nullptr));
            undo_.Add([language] { RemoveDirectoryA(language.c_str()); });
        }
        ASSERT_EQ(!asFile, IsDirectory(language));
    }

    std::string windowsDirectory_;
    Undo undo_;
};

TEST_F(DotNetDecision, NoPolicyKeyNeedsTheInstall) {
    CreateLanguageFolder(false);
    EXPECT_EQ(1, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, RegisteredBuildWithLanguageFolderNeedsNoInstall) {
    CreatePolicyValue("3705", 10);
    CreateLanguageFolder(false);
    EXPECT_EQ(0, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, OnlyThePresenceOfTheValueCounts) {
    CreatePolicyValue("3705", 300); // longer than the data buffer
    CreateLanguageFolder(false);
    EXPECT_EQ(0, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, RegisteredBuildWithoutLanguageFolderNeedsTheInstall) {
    CreatePolicyValue("3705", 10);
    EXPECT_EQ(1, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, LanguageFolderThatIsAFileNeedsTheInstall) {
    CreatePolicyValue("3705", 10);
    CreateLanguageFolder(true);
    EXPECT_EQ(1, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, OtherBuildRegisteredNeedsTheInstall) {
    CreatePolicyValue("4322", 10);
    CreateLanguageFolder(false);
    EXPECT_EQ(1, IsDotNetInstallNeeded(StubPath().c_str()));
}

TEST_F(DotNetDecision, RedistributableWithoutVersionGivesItsFailureCode) {
    CreatePolicyValue("3705", 10);
    CreateLanguageFolder(false);
    VS_FIXEDFILEINFO info;
    const HRESULT versionFailure = GetFileVersion(OwnProgramPath().c_str(), &info);
    ASSERT_TRUE(FAILED(versionFailure));
    EXPECT_EQ(versionFailure, IsDotNetInstallNeeded(OwnProgramPath().c_str()));
}

} // namespace

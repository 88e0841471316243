#include "e2e_harness.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "archive/payload_writer.h"

namespace {

constexpr DWORD kRobotLimitMs = 180000;

std::string SourcePath(const char* directory, const char* name) {
    return std::string(directory) + "\\" + name;
}

// The environment of this process with TEMP, TMP and the extra settings
// replaced, as a block for CreateProcess.
std::string EnvironmentBlock(const std::string& tempDirectory,
                             const std::vector<std::string>& extra) {
    std::vector<std::string> settings = {"TEMP=" + tempDirectory, "TMP=" + tempDirectory};
    settings.insert(settings.end(), extra.begin(), extra.end());
    std::string block;
    char* current = GetEnvironmentStringsA();
    for (const char* entry = current; *entry != '\0'; entry += std::strlen(entry) + 1) {
        std::string text = entry;
        bool replaced = false;
        for (const std::string& setting : settings) {
            std::string name = setting.substr(0, setting.find('=') + 1);
            replaced = replaced || _strnicmp(text.c_str(), name.c_str(), name.size()) == 0;
        }
        if (!replaced) {
            block += text + '\0';
        }
    }
    FreeEnvironmentStringsA(current);
    for (const std::string& setting : settings) {
        block += setting + '\0';
    }
    return block + '\0';
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

bool BuildSetup(const std::string& outPath, const std::vector<PayloadEntry>& entries) {
    PayloadError error = PayloadError::None;
    PayloadWriter* writer = CreatePayload(outPath.c_str(), TOLVANEX_SETUP_EXE, &error);
    if (writer == nullptr) {
        return false;
    }
    for (const PayloadEntry& entry : entries) {
        if (!entry.sourcePath.empty()) {
            error = AddPayloadFile(writer, entry.name.c_str(), entry.sourcePath.c_str(),
                                   PayloadMethod::Deflated);
        } else {
            error = AddPayloadData(writer, entry.name.c_str(), entry.data.data(),
                                   static_cast<uint32_t>(entry.data.size()), kEntryDosDateTime,
                                   PayloadMethod::Deflated);
        }
        if (error != PayloadError::None) {
            DiscardPayload(writer);
            return false;
        }
    }
    return FinishPayload(writer) == PayloadError::None;
}

std::vector<PayloadEntry> SupportEntries() {
    return {
        {"left.jpg", "", SourcePath(TOLVANEX_PICTURES_DIR, "left.jpg")},
        {"top.jpg", "", SourcePath(TOLVANEX_PICTURES_DIR, "top.jpg")},
        {"license.rtf", "", SourcePath(TOLVANEX_EXAMPLE_DIR, "license.rtf")},
        {"readme.rtf", "", SourcePath(TOLVANEX_EXAMPLE_DIR, "readme.rtf")},
    };
}

std::string RobotWord(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\n') {
            quoted += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

RobotRun RunRobot(const std::string& script, const std::string& setupPath,
                  const std::string& tempDirectory, const std::vector<std::string>& environment) {
    std::string scriptPath = tempDirectory + "\\..\\wizard.robot";
    std::string transcriptPath = tempDirectory + "\\..\\transcript.txt";
    RobotRun run{-1, ""};
    if (!WriteWholeFile(scriptPath, script)) {
        run.transcript = "cannot write " + scriptPath;
        return run;
    }
    std::string commandLine = Quoted(TOLVANEX_ROBOT_EXE) + " --set " +
                              Quoted("SETUP=" + setupPath) + " --transcript " +
                              Quoted(transcriptPath) + " " + Quoted(scriptPath);
    std::string block = EnvironmentBlock(tempDirectory, environment);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, &block[0], nullptr,
                        &startup, &process)) {
        run.transcript = "cannot start the robot";
        return run;
    }
    if (WaitForSingleObject(process.hProcess, kRobotLimitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.exitCode = static_cast<int>(code);
    ReadWholeFile(transcriptPath, &run.transcript);
    return run;
}

void PrepareWineDisplay() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

std::string FreshWorkDirectory(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    PrepareWineDisplay();
    std::string path = std::string(temp) + "tolvanex-e2e-" + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool DirectoryIsEmpty(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return true;
    }
    bool empty = true;
    do {
        std::string name = found.cFileName;
        empty = empty && (name == "." || name == "..");
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    *content = text.str();
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    return static_cast<bool>(file);
}

void DeleteRegistryTree(HKEY root, const std::string& path) {
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                       std::string* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024];
    DWORD size = sizeof buffer;
    LONG status = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    data->assign(buffer, size);
    return true;
}

bool ReadServiceSettings(const std::string& name, ServiceSettings* settings) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        manager ? OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG) : nullptr;
    bool read = false;
    if (service != nullptr) {
        alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
        DWORD needed = 0;
        if (QueryServiceConfigA(service, config, sizeof buffer, &needed)) {
            *settings = {config->lpDisplayName ? config->lpDisplayName : "",
                         config->lpBinaryPathName ? config->lpBinaryPathName : "",
                         config->dwServiceType, config->dwStartType, config->dwErrorControl};
            read = true;
        }
        CloseServiceHandle(service);
    }
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
    return read;
}

void DeleteServiceIfPresent(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return;
    }
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), DELETE);
    if (service != nullptr) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

bool LoadShortcut(const std::string& path, ShortcutSettings* settings) {
    bool loaded = false;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t widePath[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
        if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
            char text[MAX_PATH];
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            settings->target = text;
            link->GetDescription(text, MAX_PATH);
            settings->description = text;
            link->GetArguments(text, MAX_PATH);
            settings->arguments = text;
            link->GetWorkingDirectory(text, MAX_PATH);
            settings->workingDirectory = text;
            loaded = true;
        }
    }
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    CoUninitialize();
    return loaded;
}

std::string ProgramsMenuDirectory() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
    return path;
}

bool FileDosDateTime(const std::string& path, uint32_t* dosDateTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
        return false;
    }
    *dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
    return true;
}

// inspect: what an installer will do, read from its payload alone. The
// payload's setup.ini is read through IniFile with the buffers setup.exe
// uses, and the lists are walked in the order setup.exe handles them, so
// that the report shows what the installer will find, cuts included.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "archive/setup_archive.h"
#include "script/constant_names.h"
#include "script/ini_file.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "tools/builder/build_sources.h"
#include "tools/builder/builder_commands.h"

namespace fs = std::filesystem;

namespace {

struct FileItem {
    std::string entry;
    uint32_t size;
    std::string target;
};

struct ShortcutItem {
    std::string file, target, arguments, workingFolder, description;
};

struct RegistryItem {
    bool isKey;
    std::string rootAsWritten, root, path, name, type, data;
};

struct ServiceItem {
    std::string name, displayName, binary, type, startType, errorControl;
};

struct Inspection {
    std::string title, version, publisher, url, destination;
    std::vector<std::string> pages;
    bool offerReadme = false, offerLaunch = false;
    std::string readmePath, launchPath;
    std::vector<std::string> folders;
    std::vector<FileItem> files;
    bool hasUninstaller = false;
    bool dotnet = false;
    std::vector<std::string> shellFolders;
    std::vector<ShortcutItem> shortcuts;
    std::vector<RegistryItem> registry;
    std::vector<ServiceItem> services;
};

// A value read as setup.exe reads it: into the buffer the script's table
// gives the key's row, cut where setup.exe cuts it.
std::string Read(const IniFile& script, const char* section, const char* key,
                 const char* row = kPlainItemKey) {
    const SetupKey* rule = FindSetupKey(section, row);
    const uint32_t size = rule != nullptr && rule->size > 0 ? rule->size : kTextSize;
    std::vector<char> buffer(size, '\0');
    script.ReadString(section, key, buffer.data(), size, "");
    return buffer.data();
}

std::string ReadItem(const IniFile& script, const char* section, const char* format, int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return Read(script, section, key, format);
}

// The table's name for what setup.exe makes of item `index`'s constant.
std::string ReadConstant(const IniFile& script, const char* section, const char* format, int index,
                         std::string* asWritten = nullptr) {
    const std::string written = ReadItem(script, section, format, index);
    if (asWritten != nullptr) {
        *asWritten = written;
    }
    const ConstantKind kind = FindSetupKey(section, format)->constant;
    if (FindConstant(kind, written.c_str(), nullptr)) {
        return written;
    }
    return GetConstantTable(kind).fallbackName;
}

void ReadSettings(const IniFile& script, Inspection* result) {
    SetupSettings settings;
    LoadSetupSettings(script, &settings);
    result->title = settings.ApplicationTitle;
    result->version = settings.ApplicationVersion;
    result->publisher = settings.PublisherName;
    result->url = settings.PublisherUrl;
    result->destination = settings.DestinationDirectory;
    result->pages.push_back("welcome");
    if (settings.ShowLicense) {
        result->pages.push_back("license");
    }
    if (settings.ShowReadme) {
        result->pages.push_back("readme");
    }
    if (settings.ShowUserInfo) {
        result->pages.push_back("userinfo");
    }
    for (const char* page : {"destination", "ready", "progress", "finish"}) {
        result->pages.push_back(page);
    }
    result->offerReadme = settings.DoneShowReadme != 0;
    result->offerLaunch = settings.DoneShowLaunch != 0;
    result->readmePath = settings.DoneReadmePath;
    result->launchPath = settings.DoneLaunchPath;
}

void ReadLists(const IniFile& script, SetupArchive& archive, Inspection* result) {
    const int folderCount = script.ReadInt(kFoldersSection, kCountKey, 0, 10);
    for (int j = 1; j <= folderCount; ++j) {
        result->folders.push_back(ReadItem(script, kFoldersSection, kPlainItemKey, j));
    }
    const int entries = archive.GetEntryCount();
    for (int k = 0; k < entries; ++k) {
        ArchiveEntryInfo info;
        if (!archive.GetEntryInfo(k, &info)) {
            break; // an open-ended count ends at the first header missing
        }
        if (strstr(info.name, kAppEntryPrefix) != nullptr) {
            std::string key = info.name;
            for (size_t at; (at = key.find(kAppEntryPrefix)) != std::string::npos;) {
                key.erase(at, strlen(kAppEntryPrefix));
            }
            result->files.push_back(
                {info.name, info.uncompressedSize, Read(script, kFilesSection, key.c_str())});
        } else if (strcmp(info.name, kUninstallerFile) == 0) {
            result->hasUninstaller = true;
        }
    }
    result->dotnet = script.ReadBool(kMainSection, kDotNetKey, 0) != 0;
    const int shellFolderCount = script.ReadInt(kShellFoldersSection, kCountKey, 0, 10);
    for (int i = 0; i < shellFolderCount; ++i) {
        result->shellFolders.push_back(ReadItem(script, kShellFoldersSection, kPlainItemKey, i));
    }
    const int shortcutCount = script.ReadInt(kShellItemsSection, kCountKey, 0, 10);
    for (int i = 0; i < shortcutCount; ++i) {
        const char* s = kShellItemsSection;
        result->shortcuts.push_back({ReadItem(script, s, kShortcutFileKey, i),
                                     ReadItem(script, s, kShortcutTargetKey, i),
                                     ReadItem(script, s, kShortcutArgumentsKey, i),
                                     ReadItem(script, s, kShortcutWorkingDirectoryKey, i),
                                     ReadItem(script, s, kShortcutDescriptionKey, i)});
    }
    const int registryCount = script.ReadInt(kRegistrySection, kCountKey, 0, 10);
    for (int i = 0; i < registryCount; ++i) {
        const char* s = kRegistrySection;
        RegistryItem item;
        item.root = ReadConstant(script, s, kRegistryRootKey, i, &item.rootAsWritten);
        item.path = ReadItem(script, s, kRegistryKeyPathKey, i);
        item.name = ReadItem(script, s, kRegistryValueNameKey, i);
        item.data = ReadItem(script, s, kRegistryDataKey, i);
        item.type = ReadConstant(script, s, kRegistryTypeKey, i);
        item.isKey = item.name.empty();
        result->registry.push_back(item);
    }
    const int serviceCount = script.ReadInt(kServiceSection, kCountKey, 0, 10);
    for (int i = 0; i < serviceCount; ++i) {
        const char* s = kServiceSection;
        result->services.push_back({ReadItem(script, s, kServiceNameKey, i),
                                    ReadItem(script, s, kServiceDisplayNameKey, i),
                                    ReadItem(script, s, kServiceBinaryPathKey, i),
                                    ReadConstant(script, s, kServiceTypeKey, i),
                                    ReadConstant(script, s, kServiceStartTypeKey, i),
                                    ReadConstant(script, s, kServiceErrorControlKey, i)});
    }
}

// The payload's setup.ini, staged into a folder of its own as setup.exe
// stages it. False when there is none.
bool StageScript(SetupArchive& archive, const fs::path& directory) {
    const int entries = archive.GetEntryCount();
    for (int k = 0; k < entries; ++k) {
        ArchiveEntryInfo info;
        if (!archive.GetEntryInfo(k, &info)) {
            break;
        }
        if (strcmp(info.name, kSetupScriptFile) == 0) {
            return archive.ExtractEntry(k, directory.string().c_str(), false, nullptr);
        }
    }
    return false;
}

// --- Output -------------------------------------------------------------------

std::string Host(const std::string& text) {
    return FileSystemPath(text);
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : Utf8FromScriptText(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string UninstallKey(const Inspection& r) {
    return kUninstallRegistrationKey + r.title;
}

// EstimatedSize as setup.exe writes it: the application's files in
// kilobytes, rounded up.
unsigned EstimatedKilobytes(const Inspection& r) {
    unsigned long long bytes = 0;
    for (const FileItem& file : r.files) {
        bytes += file.size;
    }
    return static_cast<unsigned>((bytes + 1023) / 1024);
}

void PrintText(const Inspection& r) {
    printf("Title:        %s\n", Host(r.title).c_str());
    printf("Version:      %s\n", Host(r.version).c_str());
    printf("Publisher:    %s\n", Host(r.publisher).c_str());
    printf("URL:          %s\n", Host(r.url).c_str());
    std::string pages;
    for (const std::string& page : r.pages) {
        pages += (pages.empty() ? "" : ", ") + page;
    }
    printf("Pages:        %s\n", pages.c_str());
    printf("Destination:  %s\n", Host(r.destination).c_str());
    if (r.offerReadme) {
        printf("Finish page offers to open %s\n", Host(r.readmePath).c_str());
    }
    if (r.offerLaunch) {
        printf("Finish page offers to start %s\n", Host(r.launchPath).c_str());
    }
    printf("Folders (%zu):\n", r.folders.size());
    for (const std::string& folder : r.folders) {
        printf("  %s\n", Host(folder).c_str());
    }
    printf("Files (%zu):\n", r.files.size());
    for (const FileItem& file : r.files) {
        printf("  %-10s %10u  %s\n", file.entry.c_str(), static_cast<unsigned>(file.size),
               Host(file.target).c_str());
    }
    if (r.hasUninstaller) {
        printf("Uninstaller:  %%%%INSTALLDIR%%%%%s\n", kUninstallerFile);
    }
    if (r.dotnet) {
        printf(".NET Framework: %s is run when the framework it carries is missing\n",
               kDotNetRedistributableFile);
    }
    if (!r.title.empty()) {
        printf("Uninstall registration: HKEY_LOCAL_MACHINE\\%s\n", Host(UninstallKey(r)).c_str());
        printf("  UninstallString, DisplayName, DisplayVersion, Publisher, URLInfoAbout,\n"
               "  QuietUninstallString \"%%%%INSTALLDIR%%%%%s\" /quiet, InstallLocation, "
               "DisplayIcon,\n  EstimatedSize %u KB, NoModify 1, NoRepair 1\n",
               kUninstallerFile, EstimatedKilobytes(r));
    }
    printf("Shell folders (%zu):\n", r.shellFolders.size());
    for (const std::string& folder : r.shellFolders) {
        printf("  %s\n", Host(folder).c_str());
    }
    printf("Shortcuts (%zu):\n", r.shortcuts.size());
    for (const ShortcutItem& s : r.shortcuts) {
        printf("  %s -> %s", Host(s.file).c_str(), Host(s.target).c_str());
        if (!s.arguments.empty()) {
            printf(" %s", Host(s.arguments).c_str());
        }
        printf(" (in %s)\n", Host(s.workingFolder).c_str());
    }
    printf("Registry (%zu):\n", r.registry.size());
    for (const RegistryItem& item : r.registry) {
        printf("  %-5s %s\\%s  %s  %s = %s\n", item.isKey ? "key" : "value", item.root.c_str(),
               Host(item.path).c_str(), item.isKey ? "(default)" : Host(item.name).c_str(),
               item.type.c_str(), Host(item.data).c_str());
    }
    printf("Services (%zu):\n", r.services.size());
    for (const ServiceItem& s : r.services) {
        printf("  %s (%s): %s, %s, %s, %s\n", Host(s.name).c_str(), Host(s.displayName).c_str(),
               Host(s.binary).c_str(), s.type.c_str(), s.startType.c_str(), s.errorControl.c_str());
    }
}

void PrintJson(const std::string& installer, const Inspection& r) {
    printf("{\n  \"installer\": %s,\n", Json(Host(installer)).c_str());
    printf("  \"title\": %s,\n  \"version\": %s,\n  \"publisher\": %s,\n  \"url\": %s,\n",
           Json(r.title).c_str(), Json(r.version).c_str(), Json(r.publisher).c_str(),
           Json(r.url).c_str());
    std::string pages;
    for (const std::string& page : r.pages) {
        pages += (pages.empty() ? "" : ", ") + Json(page);
    }
    printf("  \"pages\": [%s],\n  \"destination\": %s,\n", pages.c_str(),
           Json(r.destination).c_str());
    printf("  \"finish\": {\"readme\": %s, \"launch\": %s},\n",
           r.offerReadme ? Json(r.readmePath).c_str() : "null",
           r.offerLaunch ? Json(r.launchPath).c_str() : "null");
    printf("  \"folders\": [");
    for (size_t i = 0; i < r.folders.size(); ++i) {
        printf("%s\n    %s", i == 0 ? "" : ",", Json(r.folders[i]).c_str());
    }
    printf("%s],\n  \"files\": [", r.folders.empty() ? "" : "\n  ");
    for (size_t i = 0; i < r.files.size(); ++i) {
        printf("%s\n    {\"entry\": %s, \"size\": %u, \"target\": %s}", i == 0 ? "" : ",",
               Json(r.files[i].entry).c_str(), static_cast<unsigned>(r.files[i].size),
               Json(r.files[i].target).c_str());
    }
    printf("%s],\n", r.files.empty() ? "" : "\n  ");
    printf("  \"uninstaller\": %s,\n",
           r.hasUninstaller ? Json(std::string("%%INSTALLDIR%%") + kUninstallerFile).c_str()
                            : "null");
    printf("  \"dotnet\": %s,\n", r.dotnet ? "true" : "false");
    if (r.title.empty()) {
        printf("  \"uninstall_registration\": null,\n");
    } else {
        printf(
            "  \"uninstall_registration\": {\"root\": \"HKEY_LOCAL_MACHINE\", \"path\": %s, "
            "\"values\": {\"UninstallString\": %s, \"DisplayName\": %s, "
            "\"DisplayVersion\": %s, \"Publisher\": %s, \"URLInfoAbout\": %s, "
            "\"QuietUninstallString\": %s, \"InstallLocation\": \"%%%%INSTALLDIR%%%%\", "
            "\"DisplayIcon\": %s, \"EstimatedSize\": %u, \"NoModify\": 1, "
            "\"NoRepair\": 1}},\n",
            Json(UninstallKey(r)).c_str(),
            Json(std::string("%%INSTALLDIR%%") + kUninstallerFile).c_str(), Json(r.title).c_str(),
            Json(r.version).c_str(), Json(r.publisher).c_str(), Json(r.url).c_str(),
            Json(std::string("\"%%INSTALLDIR%%") + kUninstallerFile + "\" /quiet").c_str(),
            Json(std::string("%%INSTALLDIR%%") + kUninstallerFile).c_str(), EstimatedKilobytes(r));
    }
    printf("  \"shell_folders\": [");
    for (size_t i = 0; i < r.shellFolders.size(); ++i) {
        printf("%s%s", i == 0 ? "" : ", ", Json(r.shellFolders[i]).c_str());
    }
    printf("],\n  \"shortcuts\": [");
    for (size_t i = 0; i < r.shortcuts.size(); ++i) {
        const ShortcutItem& s = r.shortcuts[i];
        printf("%s\n    {\"file\": %s, \"target\": %s, \"arguments\": %s, \"working_folder\": %s, "
               "\"description\": %s}",
               i == 0 ? "" : ",", Json(s.file).c_str(), Json(s.target).c_str(),
               Json(s.arguments).c_str(), Json(s.workingFolder).c_str(),
               Json(s.description).c_str());
    }
    printf("%s],\n  \"registry\": [", r.shortcuts.empty() ? "" : "\n  ");
    for (size_t i = 0; i < r.registry.size(); ++i) {
        const RegistryItem& item = r.registry[i];
        printf("%s\n    {\"kind\": \"%s\", \"root\": %s, \"root_as_written\": %s, \"path\": %s, "
               "\"name\": %s, \"type\": %s, \"data\": %s}",
               i == 0 ? "" : ",", item.isKey ? "key" : "value", Json(item.root).c_str(),
               Json(item.rootAsWritten).c_str(), Json(item.path).c_str(), Json(item.name).c_str(),
               Json(item.type).c_str(), Json(item.data).c_str());
    }
    printf("%s],\n  \"services\": [", r.registry.empty() ? "" : "\n  ");
    for (size_t i = 0; i < r.services.size(); ++i) {
        const ServiceItem& s = r.services[i];
        printf("%s\n    {\"name\": %s, \"display_name\": %s, \"binary\": %s, \"type\": %s, "
               "\"start_type\": %s, \"error_control\": %s}",
               i == 0 ? "" : ",", Json(s.name).c_str(), Json(s.displayName).c_str(),
               Json(s.binary).c_str(), Json(s.type).c_str(), Json(s.startType).c_str(),
               Json(s.errorControl).c_str());
    }
    printf("%s]\n}\n", r.services.empty() ? "" : "\n  ");
}

} // namespace

int RunInspectCommand(int argc, char** argv) {
    const bool json = argc == 2 && strcmp(argv[1], "--json") == 0;
    if (argc != 1 && !json) {
        return ReportUsageError();
    }
    SetupArchive archive;
    if (!archive.Open(argv[0])) {
        ReportProblem(argv[0], "no payload found or cannot be read");
        return kExitBadInput;
    }
    std::error_code error;
    const fs::path staging = fs::temp_directory_path(error) /
                             ("tolvanex-inspect-" + std::to_string(std::random_device()()));
    fs::remove_all(staging, error);
    if (!fs::create_directories(staging, error) || !StageScript(archive, staging)) {
        fs::remove_all(staging, error);
        ReportProblem(argv[0], "payload holds no setup.ini that can be read");
        return kExitBadInput;
    }
    Inspection result;
    {
        IniFile script((staging / kSetupScriptFile).string().c_str());
        ReadSettings(script, &result);
        ReadLists(script, archive, &result);
    }
    fs::remove_all(staging, error);
    if (json) {
        PrintJson(argv[0], result);
    } else {
        PrintText(result);
    }
    return kExitSuccess;
}

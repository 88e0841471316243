// inspect: what an installer will do, read from its payload alone. The
// payload's setup.ini gives its settings through setup.exe's own loader;
// its lists are read once, as setup.exe's profile reader reads them, and
// looked up through an index, with the buffers setup.exe uses and in the
// order it handles them, so that the report shows what the installer will
// find, cuts included, in time linear in the file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "archive/payload_format.h"
#include "archive/setup_archive.h"
#include "script/constant_names.h"
#include "script/ini_file.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "script/wizard_flow.h"
#include "tools/builder/build_sources.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/script_document.h"
#include "tools/builder/temporary_output.h"
#include "tools/builder/terminal_text.h"
#include "tools/builder/program_architecture.h"

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

// The payload's setup.ini, parsed once, with its sections and each
// section's keys indexed.
struct PayloadScript {
    ScriptDocument document;
    SectionIndex sections;
    std::unordered_map<const ScriptSection*, EntryIndex> keys;
};

void IndexPayloadScript(PayloadScript* script) {
    script->sections = IndexSections(script->document);
    for (const auto& named : script->sections.first) {
        script->keys.emplace(named.second, IndexEntries(*named.second));
    }
}

// A value read as setup.exe reads it: into the buffer the script's table
// gives the key's row, cut where setup.exe cuts it.
std::string Read(const PayloadScript& script, const char* section, const char* key,
                 const char* row = kPlainItemKey) {
    const SetupKey* rule = FindSetupKey(section, row);
    const uint32_t size = rule != nullptr && rule->size > 0 ? rule->size : kTextSize;
    const ScriptSection* found = FindSection(script.sections, section);
    const ScriptEntry* entry = found != nullptr ? FindEntry(script.keys.at(found), key) : nullptr;
    const std::string value = entry != nullptr ? ProfileValue(*entry) : std::string();
    return value.substr(0, std::min<size_t>(value.size(), size - 1));
}

std::string ReadItem(const PayloadScript& script, const char* section, const char* format,
                     int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return Read(script, section, key, format);
}

// The table's name for what setup.exe makes of item `index`'s constant.
std::string ReadConstant(const PayloadScript& script, const char* section, const char* format,
                         int index, std::string* asWritten = nullptr) {
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

// The counts of the lists, as setup.exe reads them. A count above the
// entries a payload holds is refused before any walk up to it: setup.exe
// would take each item up to it in turn, and an installer of a few hundred
// bytes would keep inspect busy for hours.
struct ListCounts {
    int folders, shellFolders, shortcuts, registry, services;
};

bool ReadListCounts(const IniFile& script, ListCounts* counts, std::string* problem) {
    const std::pair<const char*, int*> lists[] = {
        {kFoldersSection, &counts->folders},      {kShellFoldersSection, &counts->shellFolders},
        {kShellItemsSection, &counts->shortcuts}, {kRegistrySection, &counts->registry},
        {kServiceSection, &counts->services},
    };
    for (const auto& [section, count] : lists) {
        *count = script.ReadInt(section, kCountKey, 0, 10);
        if (*count > 0 && static_cast<uint32_t>(*count) > payload_format::kMaxEntries) {
            *problem = std::string(kSetupScriptFile) + " [" + section + "]: the count " +
                       std::to_string(*count) + " is above the " +
                       std::to_string(payload_format::kMaxEntries) +
                       " entries a payload can hold [bad-count]";
            return false;
        }
    }
    return true;
}

void ReadSettings(const IniFile& script, Inspection* result) {
    SetupSettings settings;
    LoadSetupSettings(script, &settings);
    result->title = settings.ApplicationTitle;
    result->version = settings.ApplicationVersion;
    result->publisher = settings.PublisherName;
    result->url = settings.PublisherUrl;
    result->destination = settings.DestinationDirectory;
    const WizardSwitches switches = {settings.ShowLicense != 0, settings.ShowReadme != 0,
                                     settings.ShowUserInfo != 0};
    const char* pages[kMaxWizardPages];
    const size_t count = ListWizardPages(switches, pages);
    result->pages.assign(pages, pages + count);
    result->offerReadme = settings.DoneShowReadme != 0;
    result->offerLaunch = settings.DoneShowLaunch != 0;
    result->readmePath = settings.DoneReadmePath;
    result->launchPath = settings.DoneLaunchPath;
}

void ReadLists(const IniFile& settings, const PayloadScript& script, const ListCounts& counts,
               SetupArchive& archive, Inspection* result) {
    for (int j = 1; j <= counts.folders; ++j) {
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
    result->dotnet = settings.ReadBool(kMainSection, kDotNetKey, 0) != 0;
    for (int i = 0; i < counts.shellFolders; ++i) {
        result->shellFolders.push_back(ReadItem(script, kShellFoldersSection, kPlainItemKey, i));
    }
    for (int i = 0; i < counts.shortcuts; ++i) {
        const char* s = kShellItemsSection;
        result->shortcuts.push_back({ReadItem(script, s, kShortcutFileKey, i),
                                     ReadItem(script, s, kShortcutTargetKey, i),
                                     ReadItem(script, s, kShortcutArgumentsKey, i),
                                     ReadItem(script, s, kShortcutWorkingDirectoryKey, i),
                                     ReadItem(script, s, kShortcutDescriptionKey, i)});
    }
    for (int i = 0; i < counts.registry; ++i) {
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
    for (int i = 0; i < counts.services; ++i) {
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

// A text of the installer for the terminal: in the terminal's UTF-8, its
// control characters escaped.
std::string Host(const std::string& text) {
    return ShownText(FileSystemPath(text));
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : Utf8FromScriptText(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
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

void PrintText(const Inspection& r, Machine stub) {
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
    if (const char* view = RegistryViewOf(stub)) {
        printf("Architecture: %s (registry: %s view)\n", ArchitectureName(stub), view);
    } else {
        printf("Architecture: unknown (the stub is no x86 or x64 program)\n");
    }
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
        printf("  %-10s %10u  %s\n", ShownText(file.entry).c_str(),
               static_cast<unsigned>(file.size), Host(file.target).c_str());
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

void PrintJson(const std::string& installer, const Inspection& r, Machine stub) {
    printf("{\n  \"installer\": %s,\n", Json(FileSystemPath(installer)).c_str());
    const char* view = RegistryViewOf(stub);
    printf("  \"architecture\": %s, \"registry_view\": %s,\n",
           view != nullptr ? Json(ArchitectureName(stub)).c_str() : "null",
           view != nullptr ? Json(view).c_str() : "null");
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
    RegisterTemporary(staging.string());
    fs::remove_all(staging, error);
    const std::string scriptPath = (staging / kSetupScriptFile).string();
    PayloadScript script;
    std::string problem = "payload holds no setup.ini that can be read";
    bool read = fs::create_directories(staging, error) && StageScript(archive, staging);
    if (read) {
        std::string bytes;
        read = ReadScriptBytes(scriptPath, &bytes, &problem) &&
               ParseScriptDocument(bytes, scriptPath, &script.document, &problem,
                                   ScriptBytes::AsSetupExe);
    }
    Inspection result;
    if (read) {
        IndexPayloadScript(&script);
        IniFile settings(scriptPath.c_str());
        ListCounts counts{};
        read = ReadListCounts(settings, &counts, &problem);
        if (read) {
            ReadSettings(settings, &result);
            ReadLists(settings, script, counts, archive, &result);
        }
    }
    RemoveTemporary(staging.string());
    if (!read) {
        ReportProblem(argv[0], problem.c_str());
        return kExitBadInput;
    }
    // The view setup.exe writes in is that of its own machine.
    const Machine stub = MachineOfFile(argv[0]);
    if (json) {
        PrintJson(argv[0], result, stub);
    } else {
        PrintText(result, stub);
    }
    return kExitSuccess;
}

// build: an installer from one build script. The script is a setup script
// with two more sections that stay out of the payload: [build] names the
// output and the support files, [sources] the application files, which the
// builder numbers and lists in the payload's setup.ini itself.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "archive/payload_format.h"
#include "script/ini_file.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "system/bounded_text.h"
#include "tools/builder/build_script.h"
#include "tools/builder/build_sources.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/program_architecture.h"
#include "tools/builder/installer_output.h"
#include "tools/builder/script_checks.h"
#include "tools/builder/script_document.h"
#include "tools/builder/setup_script_generation.h"
#include "tools/builder/temporary_output.h"
#include "tools/builder/terminal_text.h"

namespace fs = std::filesystem;

namespace {

struct BuildOptions {
    const char* scriptPath = nullptr;
    const char* outPath = nullptr;
    const char* method = nullptr; // over [build] method
    const char* level = nullptr;  // over [build] level
    bool werror = false;
    bool quiet = false;
};

// What the script asks for, with the settings the installer is written with.
struct BuildSettings {
    std::string outPath;
    std::string stubPath;
    std::string signCommand; // run on the uninstaller and on the written installer
    Machine architecture = Machine::X86;
    PayloadMethod method = kDefaultInstallerMethod;
    int level = kDefaultInstallerLevel;
    std::vector<PackEntry> entries;
};

// A compression level, "0" to "9".
bool ParseLevel(const std::string& text, int* level) {
    if (text.size() != 1 || !isdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    *level = text[0] - '0';
    return *level >= kMinPayloadLevel && *level <= kMaxPayloadLevel;
}

bool ParseBuildOptions(int argc, char** argv, BuildOptions* options) {
    PayloadMethod method = kDefaultInstallerMethod;
    int level = kDefaultInstallerLevel;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            options->outPath = argv[++i];
        } else if (strcmp(argv[i], "--method") == 0 && i + 1 < argc &&
                   ParsePayloadMethod(argv[i + 1], &method)) {
            options->method = argv[++i];
        } else if (strcmp(argv[i], "--level") == 0 && i + 1 < argc &&
                   ParseLevel(argv[i + 1], &level)) {
            options->level = argv[++i];
        } else if (strcmp(argv[i], "--werror") == 0) {
            options->werror = true;
        } else if (strcmp(argv[i], "--quiet") == 0) {
            options->quiet = true;
        } else if (strncmp(argv[i], "--", 2) == 0 || options->scriptPath != nullptr) {
            return false;
        } else {
            options->scriptPath = argv[i];
        }
    }
    return options->scriptPath != nullptr;
}

// "FILE:LINE: error: TEXT", as compilers write it (no line for 0); control
// characters of names shown escaped.
void ReportError(const std::string& file, int line, const std::string& text) {
    if (line > 0) {
        fprintf(stderr, "%s:%d: error: %s\n", ShownText(file).c_str(), line,
                ShownText(text).c_str());
    } else {
        fprintf(stderr, "%s: error: %s\n", ShownText(file).c_str(), ShownText(text).c_str());
    }
}

struct BuildRun {
    const ScriptDocument* document;
    const ScriptSection* build;
    fs::path scriptDirectory;
    EntryIndex buildEntries; // of `build`: file_N keys are looked up one by one
};

// A file named by a [build] key, relative to the script's folder. Without
// the key, `defaultName` is looked for in DefaultPlaces when given, then
// `otherName` when given.
bool ResolveBuildFile(const BuildRun& run, const char* key, const char* defaultName,
                      std::string* path, const char* otherName = nullptr) {
    const ScriptEntry* entry = FindEntry(run.buildEntries, key);
    const std::string value = entry != nullptr ? ProfileValue(*entry) : std::string();
    if (!value.empty()) {
        std::string written = FileSystemPath(value);
        for (char& c : written) {
            c = c == '\\' ? '/' : c;
        }
        const fs::path resolved = fs::path(written).is_absolute()
                                      ? fs::path(written)
                                      : run.scriptDirectory / fs::path(written);
        std::error_code error;
        if (!fs::is_regular_file(resolved, error)) {
            ReportError(run.document->path, entry->line,
                        resolved.string() + ": " +
                            (fs::exists(resolved, error) ? "not a file" : "no such file"));
            return false;
        }
        *path = resolved.string();
        return true;
    }
    if (defaultName == nullptr) {
        path->clear();
        return true;
    }
    std::vector<std::string> places = DefaultPlaces(defaultName);
    if (otherName != nullptr) {
        const std::vector<std::string> others = DefaultPlaces(otherName);
        places.insert(places.end(), others.begin(), others.end());
    }
    for (const std::string& place : places) {
        std::error_code error;
        if (fs::is_regular_file(place, error)) {
            *path = place;
            return true;
        }
    }
    std::string looked;
    for (const std::string& place : places) {
        looked += (looked.empty() ? "" : ", ") + place;
    }
    ReportError(run.document->path, run.build != nullptr ? run.build->line : 0,
                std::string("no [build] ") + key + " given and no " + defaultName +
                    " found (looked at " + (looked.empty() ? "nothing" : looked) + ")");
    return false;
}

bool ScriptBool(const ScriptDocument& document, const char* section, const char* key, int* line) {
    const ScriptSection* found = FindSection(document, section);
    const ScriptEntry* entry = found != nullptr ? FindEntry(*found, key) : nullptr;
    *line = entry != nullptr ? entry->line : 0;
    return entry != nullptr && ParseBool(ProfileValue(*entry).c_str(), 0) != 0;
}

// A support file the script switches on by a setup-script key.
bool ResolveRequiredFile(const BuildRun& run, const char* section, const char* switchKey,
                         const char* fileKey, const char* entryName,
                         std::vector<PackEntry>* entries) {
    int line = 0;
    if (!ScriptBool(*run.document, section, switchKey, &line)) {
        return true;
    }
    std::string path;
    if (!ResolveBuildFile(run, fileKey, nullptr, &path)) {
        return false;
    }
    if (path.empty()) {
        ReportError(run.document->path, line,
                    std::string(switchKey) + " is on but [build] names no " + fileKey);
        return false;
    }
    entries->push_back({entryName, path, {}});
    return true;
}

// The line of a [build] key, or of [build] itself when the key is missing.
int BuildLine(const BuildRun& run, const char* key) {
    const ScriptEntry* entry = run.build != nullptr ? FindEntry(*run.build, key) : nullptr;
    return entry != nullptr ? entry->line : run.build != nullptr ? run.build->line : 0;
}

// [build] architecture=: x86 when not given. False, reported, for another
// value; `stated` tells whether the script gave one.
bool ReadArchitecture(const BuildRun& run, Machine* architecture, bool* stated) {
    const ScriptEntry* entry =
        run.build != nullptr ? FindEntry(*run.build, kBuildArchitectureKey) : nullptr;
    *architecture = Machine::X86;
    *stated = entry != nullptr;
    if (entry == nullptr || ParseArchitecture(ProfileValue(*entry), architecture)) {
        return true;
    }
    ReportError(run.document->path, entry->line,
                std::string(kBuildArchitectureKey) + "=\"" + ProfileValue(*entry) +
                    "\": x86 or x64 expected");
    return false;
}

// The installer's two programs: those [build] names, else the product's
// programs of the architecture beside the builder, else the unnamed ones
// there (a Windows build tree's own). An architecture the script states
// must be theirs, and they must be of one architecture.
bool ResolvePrograms(const BuildRun& run, BuildSettings* settings, std::string* uninstaller) {
    bool stated = false;
    if (!ReadArchitecture(run, &settings->architecture, &stated)) {
        return false;
    }
    const std::string setupName = ProgramNameFor("setup.exe", settings->architecture);
    if (!ResolveBuildFile(run, kBuildStubKey, setupName.c_str(), &settings->stubPath,
                          "setup.exe")) {
        return false;
    }
    const Machine setup = MachineOfFile(settings->stubPath);
    // Without a stated architecture the stub's own decides which
    // uninstaller goes with it.
    if (!stated && (setup == Machine::X86 || setup == Machine::X64)) {
        settings->architecture = setup;
    }
    const std::string uninstallerName = ProgramNameFor(kUninstallerFile, settings->architecture);
    if (!ResolveBuildFile(run, kBuildUninstallerKey, uninstallerName.c_str(), uninstaller,
                          kUninstallerFile)) {
        return false;
    }
    const Machine uninstall = MachineOfFile(*uninstaller);
    const std::string& script = run.document->path;
    std::string problem =
        stated ? WrongMachineProblem(settings->stubPath.c_str(), setup, settings->architecture)
               : std::string();
    if (!problem.empty()) {
        ReportError(script, BuildLine(run, kBuildStubKey), problem);
        return false;
    }
    problem = stated ? WrongMachineProblem(uninstaller->c_str(), uninstall, settings->architecture)
                     : std::string();
    if (!problem.empty()) {
        ReportError(script, BuildLine(run, kBuildUninstallerKey), problem);
        return false;
    }
    problem = MixedMachinesProblem(setup, uninstall);
    if (!problem.empty()) {
        ReportError(script, BuildLine(run, kBuildUninstallerKey), problem);
        return false;
    }
    return true;
}

bool CollectSupportFiles(const BuildRun& run, BuildSettings* settings) {
    std::string uninstaller, left, top;
    if (!ResolvePrograms(run, settings, &uninstaller) ||
        !ResolveBuildFile(run, kBuildLeftPictureKey, kLeftPictureFile, &left) ||
        !ResolveBuildFile(run, kBuildTopPictureKey, kTopPictureFile, &top)) {
        return false;
    }
    settings->entries.push_back({kLeftPictureFile, left, {}});
    settings->entries.push_back({kTopPictureFile, top, {}});
    settings->entries.push_back({kUninstallerFile, uninstaller, {}});
    return ResolveRequiredFile(run, kDialogsSection, kShowLicenseKey, kBuildLicenseKey,
                               kLicenseFile, &settings->entries) &&
           ResolveRequiredFile(run, kDialogsSection, kShowReadmeKey, kBuildReadmeKey, kReadmeFile,
                               &settings->entries) &&
           ResolveRequiredFile(run, kMainSection, kDotNetKey, kBuildDotNetKey,
                               kDotNetRedistributableFile, &settings->entries);
}

std::string ItemKey(const char* format, int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return key;
}

// The application files of [sources]; `supportEntries` entries are in the
// payload beside them.
bool CollectSourceItems(const BuildRun& run, const ScriptSection& sources, size_t supportEntries,
                        std::vector<SourceFile>* files) {
    const std::string& script = run.document->path;
    const ScriptEntry* countEntry = FindEntry(sources, kCountKey);
    if (countEntry == nullptr) {
        ReportError(script, sources.line, "[sources] has no count");
        return false;
    }
    char* end = nullptr;
    const std::string countText = ProfileValue(*countEntry);
    const long count = strtol(countText.c_str(), &end, 10);
    // Each item gives one file at least.
    if (countText.empty() || *end != '\0' || count < 0 ||
        count > static_cast<long>(payload_format::kMaxEntries)) {
        ReportError(script, countEntry->line, "[sources] count is not a number of items");
        return false;
    }
    const EntryIndex index = IndexEntries(sources);
    const size_t limit = payload_format::kMaxEntries > supportEntries
                             ? payload_format::kMaxEntries - supportEntries
                             : 0;
    for (int i = 0; i < count; ++i) {
        const std::string fromKey = ItemKey(kSourceFromKey, i);
        const std::string toKey = ItemKey(kSourceToKey, i);
        const ScriptEntry* from = FindEntry(index, fromKey);
        const ScriptEntry* to = FindEntry(index, toKey);
        if (from == nullptr || to == nullptr || ProfileValue(*from).empty()) {
            ReportError(script, from != nullptr ? from->line : countEntry->line,
                        "[sources] item " + std::to_string(i) + " needs " + fromKey + " and " +
                            toKey);
            return false;
        }
        std::string problem;
        if (!CollectSources(run.scriptDirectory.string(), ProfileValue(*from), ProfileValue(*to),
                            from->line, limit, files, &problem)) {
            ReportError(script, from->line, problem);
            return false;
        }
    }
    return true;
}

// Without [sources] the script goes as written; [build] "file_N" keys give
// the application entries.
bool CollectListedFiles(const BuildRun& run, BuildSettings* settings) {
    if (run.build == nullptr) {
        return true;
    }
    const size_t prefixLength = strlen(kAppEntryPrefix);
    for (const ScriptEntry& entry : run.build->entries) {
        if (entry.key.compare(0, prefixLength, kAppEntryPrefix) != 0) {
            continue;
        }
        std::string path;
        if (!ResolveBuildFile(run, entry.key.c_str(), nullptr, &path)) {
            return false;
        }
        settings->entries.push_back(
            {entry.key, path, {}, run.document->path + ":" + std::to_string(entry.line)});
    }
    return true;
}

ScriptDocument WithoutBuildSections(const ScriptDocument& script) {
    ScriptDocument payload;
    payload.path = script.path;
    for (const ScriptSection& section : script.sections) {
        if (!EqualNamesIgnoringCase(section.name, kBuildSection) &&
            !EqualNamesIgnoringCase(section.name, kSourcesSection)) {
            payload.sections.push_back(section);
        }
    }
    return payload;
}

// The method and level: the command line's (checked with the options),
// else [build]'s, else the defaults. A [build] value the builder does not
// know is an error on its line.
bool ReadCompressionSettings(const BuildRun& run, const BuildOptions& options,
                             BuildSettings* settings) {
    const std::string& path = run.document->path;
    const ScriptEntry* method =
        run.build != nullptr ? FindEntry(*run.build, kBuildMethodKey) : nullptr;
    const ScriptEntry* level =
        run.build != nullptr ? FindEntry(*run.build, kBuildLevelKey) : nullptr;
    if (options.method != nullptr) {
        ParsePayloadMethod(options.method, &settings->method);
    } else if (method != nullptr &&
               !ParsePayloadMethod(ProfileValue(*method).c_str(), &settings->method)) {
        ReportError(path, method->line,
                    "compression method \"" + ProfileValue(*method) +
                        "\" unknown: lzma, deflate or store");
        return false;
    }
    if (options.level != nullptr) {
        ParseLevel(options.level, &settings->level);
    } else if (level != nullptr && !ParseLevel(ProfileValue(*level), &settings->level)) {
        ReportError(path, level->line,
                    "compression level \"" + ProfileValue(*level) + "\" out of range 0 to 9");
        return false;
    }
    return true;
}

bool PlanBuild(const BuildRun& run, const BuildOptions& options, BuildSettings* settings,
               ScriptDocument* payloadScript) {
    const ScriptDocument& script = *run.document;
    const ScriptEntry* output =
        run.build != nullptr ? FindEntry(*run.build, kBuildOutputKey) : nullptr;
    if (options.outPath != nullptr) {
        settings->outPath = options.outPath;
    } else if (output != nullptr && !ProfileValue(*output).empty()) {
        std::string written = FileSystemPath(ProfileValue(*output));
        for (char& c : written) {
            c = c == '\\' ? '/' : c;
        }
        settings->outPath = fs::path(written).is_absolute()
                                ? written
                                : (run.scriptDirectory / fs::path(written)).string();
    } else {
        ReportError(script.path, run.build != nullptr ? run.build->line : 0,
                    "no installer to write: give [build] output or --out");
        return false;
    }
    const ScriptEntry* sign = run.build != nullptr ? FindEntry(*run.build, kBuildSignKey) : nullptr;
    settings->signCommand = sign != nullptr ? ProfileValue(*sign) : std::string();
    if (!ReadCompressionSettings(run, options, settings)) {
        return false;
    }
    if (!CollectSupportFiles(run, settings)) {
        return false;
    }
    const ScriptSection* sources = FindSection(script, kSourcesSection);
    if (sources == nullptr) {
        *payloadScript = WithoutBuildSections(script);
        return CollectListedFiles(run, settings);
    }
    if (const ScriptSection* files = FindSection(script, kFilesSection)) {
        ReportError(script.path, files->line,
                    "[files] is written by the builder from [sources]; remove it");
        return false;
    }
    std::vector<SourceFile> files;
    // setup.ini comes in beside the support files.
    if (!CollectSourceItems(run, *sources, settings->entries.size() + 1, &files)) {
        return false;
    }
    for (size_t k = 0; k < files.size(); ++k) {
        settings->entries.push_back({kAppEntryPrefix + std::to_string(k + 1),
                                     files[k].sourcePath,
                                     {},
                                     script.path + ":" + std::to_string(files[k].line)});
    }
    *payloadScript = GenerateSetupScript(script, *sources, files);
    return true;
}

// The checks of `check`, on the script and the setup.ini made from it.
// False when they found errors (with werror: anything).
bool ReportFindings(const ScriptDocument& script, const ScriptDocument& payloadScript,
                    const std::vector<PackEntry>& entries, Machine architecture, bool werror) {
    std::vector<std::string> names;
    for (const PackEntry& entry : entries) {
        names.push_back(entry.name);
    }
    CheckOptions options;
    options.buildScript = true;
    options.generated = &payloadScript;
    options.payloadEntries = &names;
    options.sixtyFourBit = architecture == Machine::X64;
    std::vector<Finding> findings;
    CheckScript(script, options, &findings);
    for (Finding& finding : findings) {
        if (werror) {
            finding.severity = Severity::Error;
        }
        fprintf(stderr, "%s\n", FormatFinding(finding).c_str());
    }
    return !HasErrors(findings, werror);
}

// The one call into the writer of installers.
// The builder's exit code: a failed signing keeps its own, every other
// failure to write is the build's failure.
int WriteInstallerFile(const BuildSettings& settings, bool quiet) {
    InstallerSettings installer;
    installer.stubPath = settings.stubPath;
    installer.outPath = settings.outPath;
    installer.signCommand = settings.signCommand;
    installer.method = settings.method;
    installer.level = settings.level;
    installer.quiet = quiet;
    int status = kExitSuccess;
    if (WriteInstaller(installer, settings.entries, &status)) {
        return kExitSuccess;
    }
    return status == kExitSignFailed ? kExitSignFailed : kExitEntriesFailed;
}

} // namespace

bool CollectBuildSources(const ScriptDocument& script, ScriptDocument* setupScript) {
    const ScriptSection* sources = FindSection(script, kSourcesSection);
    if (sources == nullptr) {
        return false;
    }
    BuildRun run{
        &script, FindSection(script, kBuildSection), fs::path(script.path).parent_path(), {}};
    if (run.scriptDirectory.empty()) {
        run.scriptDirectory = ".";
    }
    if (run.build != nullptr) {
        run.buildEntries = IndexEntries(*run.build);
    }
    std::vector<SourceFile> files;
    // setup.ini at least goes beside the files; build counts the support
    // files it finds and says so when the payload cannot hold them all.
    if (!CollectSourceItems(run, *sources, 1, &files)) {
        return false;
    }
    *setupScript = GenerateSetupScript(script, *sources, files);
    return true;
}

int RunBuildCommand(int argc, char** argv) {
    BuildOptions options;
    if (!ParseBuildOptions(argc, argv, &options)) {
        return ReportUsageError();
    }
    ScriptDocument script;
    std::string error;
    if (!ReadScriptDocument(options.scriptPath, &script, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return kExitEntriesFailed;
    }
    BuildRun run{&script,
                 FindSection(script, kBuildSection),
                 fs::path(options.scriptPath).parent_path(),
                 {}};
    if (run.scriptDirectory.empty()) {
        run.scriptDirectory = ".";
    }
    if (run.build != nullptr) {
        run.buildEntries = IndexEntries(*run.build);
    }
    BuildSettings settings;
    ScriptDocument payloadScript;
    if (!PlanBuild(run, options, &settings, &payloadScript)) {
        return kExitEntriesFailed;
    }
    std::vector<std::string> inputs{options.scriptPath, settings.stubPath};
    for (const PackEntry& entry : settings.entries) {
        inputs.push_back(entry.sourcePath);
    }
    const std::string input = InputNamedAsOutput(settings.outPath, inputs);
    if (!input.empty()) {
        ReportError(settings.outPath, 0,
                    "the installer would replace an input of the build (" + input +
                        "); nothing written");
        return kExitEntriesFailed;
    }
    std::error_code folderError;
    const fs::path outFolder = fs::path(settings.outPath).parent_path();
    if (!outFolder.empty() && !fs::is_directory(outFolder, folderError) &&
        !fs::create_directories(outFolder, folderError)) {
        ReportError(settings.outPath, 0, "folder cannot be created: " + folderError.message());
        return kExitEntriesFailed;
    }
    const std::string text = FormatScriptText(payloadScript);
    if (int line = 0; !ReadsBackAsWritten(payloadScript, text, &line)) {
        ReportError(script.path, line,
                    "the setup.ini written from here would read back otherwise (a name or value "
                    "that ends a line or opens a section)");
        return kExitEntriesFailed;
    }
    settings.entries.insert(settings.entries.begin(), PackEntry{kSetupScriptFile, {}, text});
    if (!ReportFindings(script, payloadScript, settings.entries, settings.architecture,
                        options.werror)) {
        return kExitEntriesFailed;
    }
    if (!CheckEntryNames(settings.entries)) {
        return kExitEntriesFailed;
    }
    if (const int status = WriteInstallerFile(settings, options.quiet); status != kExitSuccess) {
        return status;
    }
    if (!options.quiet) {
        printf("%s: %zu entries\n", settings.outPath.c_str(), settings.entries.size());
    }
    return kExitSuccess;
}

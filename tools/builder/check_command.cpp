// check: the builder's checks of a setup.ini, a build script, or the script
// and entries of a built installer, reported the way compilers report.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/payload_format.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "tools/builder/build_script.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/program_architecture.h"
#include "tools/builder/entry_method_check.h"
#include "tools/builder/script_checks.h"
#include "tools/builder/script_document.h"

namespace {

const char kCheckUsage[] =
    "Usage: tolvanex-build check FILE [--werror]\n"
    "       tolvanex-build check --list\n"
    "\n"
    "Checks FILE for what setup.exe would do otherwise than its author most\n"
    "likely meant. FILE is a setup.ini, a build script (one with [build] or\n"
    "[sources]), or a built installer, whose setup.ini is checked together with\n"
    "its payload's entries. One line per finding:\n"
    "  FILE:LINE: warning: TEXT [name]   (or error:)\n"
    "--werror turns warnings into errors. --list prints every check.\n"
    "\n"
    "Exit codes: 0 clean or warnings only; 1 errors; 2 wrong arguments or a\n"
    "file that cannot be read.\n"
    "\n"
    "Paths are measured after expansion with these lengths for the\n"
    "placeholders (%%INSTALLDIR%% as the expanded destdir, when there is one):\n";

struct Payload {
    std::vector<std::string> entries;
    std::string script;
    bool hasScript = false;
    std::string uninstaller; // the bytes of the last uninstall.exe entry
};

bool ReadCurrentData(ArchiveReader* reader, std::string* data) {
    if (OpenCurrentEntry(reader) != ArchiveStatus::Ok) {
        return false;
    }
    char chunk[16384];
    int count;
    while ((count = ReadCurrentEntry(reader, chunk, sizeof chunk)) > 0) {
        data->append(chunk, static_cast<size_t>(count));
    }
    const int closed = CloseCurrentEntry(reader);
    return count == 0 && closed == ArchiveStatus::Ok;
}

// The entry names and the setup.ini setup.exe would stage: the last entry of
// that name, since each staged entry replaces the one before.
// How far back a payload's end record is looked for here: far enough for any
// signature a signer appends.
constexpr int64_t kFarEndRecordSearch = int64_t{64} << 20;

// An installer whose end record lies further from the file's end than
// setup.exe searches (a large certificate table behind it) opens nowhere.
bool IsPayloadOutOfReach(const char* path, std::vector<Finding>* findings) {
    int64_t distance = 0;
    if (!LocateEndRecord(path, kFarEndRecordSearch, &distance) ||
        distance <= payload_format::kEndRecordSearchLimit) {
        return false;
    }
    const char* name = "end-record-out-of-reach";
    findings->push_back({path, 0, FindCheck(name)->severity,
                         "the payload's end record lies " + std::to_string(distance) +
                             " bytes before the file's end, beyond the " +
                             std::to_string(payload_format::kEndRecordSearchLimit) +
                             " bytes setup.exe searches: it will not find its payload",
                         name});
    return true;
}

bool ReadPayload(ArchiveReader* reader, const char* path, Payload* payload) {
    ArchiveInfo info{};
    GetArchiveInfo(reader, &info);
    const bool openEnded = info.entryCount == payload_format::kOpenEndedCount;
    int status = GoToFirstEntry(reader);
    for (; status == ArchiveStatus::Ok; status = GoToNextEntry(reader)) {
        char name[1024];
        if (GetCurrentEntryInfo(reader, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) !=
            ArchiveStatus::Ok) {
            break;
        }
        name[sizeof name - 1] = '\0';
        payload->entries.push_back(name);
        if (std::strcmp(name, kSetupScriptFile) == 0) {
            payload->script.clear();
            if (!ReadCurrentData(reader, &payload->script)) {
                ReportProblem(path, "damaged payload: setup.ini cannot be read");
                return false;
            }
            payload->hasScript = true;
        } else if (std::strcmp(name, kUninstallerFile) == 0) {
            payload->uninstaller.clear();
            if (!ReadCurrentData(reader, &payload->uninstaller)) {
                ReportProblem(path, "damaged payload: uninstall.exe cannot be read");
                return false;
            }
        }
    }
    if (status != ArchiveStatus::EndOfList && !(openEnded && !payload->entries.empty())) {
        ReportProblem(path, "damaged payload: an entry header cannot be read");
        return false;
    }
    return true;
}

bool IsBuildScript(const ScriptDocument& document) {
    return FindSection(document, kBuildSection) != nullptr ||
           FindSection(document, kSourcesSection) != nullptr;
}

} // namespace

int RunCheckCommand(int argc, char** argv) {
    const char* file = nullptr;
    bool warningsAsErrors = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--werror") == 0) {
            warningsAsErrors = true;
        } else if (std::strcmp(argv[i], "--list") == 0 && argc == 1) {
            std::fputs(DescribeChecks().c_str(), stdout);
            return kExitSuccess;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kCheckUsage, stdout);
            std::fputs(DescribeAssumedPlaceholderLengths().c_str(), stdout);
            return kExitSuccess;
        } else if (std::strncmp(argv[i], "--", 2) == 0 || file != nullptr) {
            return ReportUsageError();
        } else {
            file = argv[i];
        }
    }
    if (file == nullptr) {
        return ReportUsageError();
    }

    ScriptDocument document;
    std::string error;
    CheckOptions options;
    Payload payload;
    std::vector<Finding> findings;
    std::string bytes;
    ScriptDocument generated;
    Machine stub = Machine::NotProgram;
    Machine uninstaller = Machine::NotProgram;
    bool outOfReach = false;
    ArchiveReader* reader = OpenArchive(file);
    if (reader != nullptr) {
        const bool read = ReadPayload(reader, file, &payload);
        CloseArchive(reader);
        if (!read) {
            return kExitBadInput;
        }
        if (!payload.hasScript) {
            std::fprintf(stderr, "%s: error: the payload holds no %s\n", file, kSetupScriptFile);
            return kExitEntriesFailed;
        }
        if (!ParseScriptDocument(payload.script, std::string(file) + "(" + kSetupScriptFile + ")",
                                 &document, &error, ScriptBytes::AsSetupExe)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitEntriesFailed;
        }
        options.payloadEntries = &payload.entries;
        options.setupBytes = &payload.script;
        stub = MachineOfFile(file);
        uninstaller =
            MachineOfImage(reinterpret_cast<const unsigned char*>(payload.uninstaller.data()),
                           payload.uninstaller.size());
        options.sixtyFourBit = stub == Machine::X64;
    } else if (IsPayloadOutOfReach(file, &findings)) {
        // Nothing behind it can be read as setup.exe would.
        outOfReach = true;
    } else {
        if (!ReadScriptBytes(file, &bytes, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitBadInput;
        }
        // A character its code page lacks is the script's fault, whether
        // build converts it or setup.exe reads the file as it is.
        if (!ParseScriptDocument(bytes, file, &document, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitEntriesFailed;
        }
        options.buildScript = IsBuildScript(document);
        // bad-architecture is the checks' own finding; a stated x64 only
        // changes the lengths they assume.
        const ScriptSection* build = FindSection(document, kBuildSection);
        const ScriptEntry* stated =
            build != nullptr ? FindEntry(*build, kBuildArchitectureKey) : nullptr;
        Machine architecture = Machine::X86;
        if (stated != nullptr) {
            ParseArchitecture(ProfileValue(*stated), &architecture);
        }
        options.sixtyFourBit = architecture == Machine::X64;
        if (!options.buildScript) {
            ParseScriptDocument(bytes, file, &document, &error, ScriptBytes::AsSetupExe);
            options.setupBytes = &bytes;
        } else if (FindSection(document, kSourcesSection) != nullptr) {
            if (!CollectBuildSources(document, &generated)) {
                return kExitEntriesFailed;
            }
            options.generated = &generated;
        }
    }

    if (options.payloadEntries != nullptr) {
        CheckEntryMethods(file, &findings);
    }
    if (!outOfReach) {
        CheckScript(document, options, &findings);
    }
    // The uninstaller of a 64-bit setup looks in the 64-bit views, that of a
    // 32-bit setup in the 32-bit ones: a mix finds nothing it should remove.
    const std::string mixed = MixedMachinesProblem(stub, uninstaller);
    if (!mixed.empty()) {
        const char* name = "mixed-architecture";
        findings.insert(findings.begin(), {file, 0, FindCheck(name)->severity, mixed, name});
    }
    for (Finding& finding : findings) {
        if (warningsAsErrors) {
            finding.severity = Severity::Error;
        }
        std::fprintf(stderr, "%s\n", FormatFinding(finding).c_str());
    }
    return HasErrors(findings, warningsAsErrors) ? kExitEntriesFailed : kExitSuccess;
}

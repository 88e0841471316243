// tolvanex-build: packs payloads behind a stub program, lists and extracts
// them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/builder/argument_files.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/terminal_text.h"

namespace {

const char kUsage[] =
    "Usage: tolvanex-build COMMAND ARGUMENTS...\n"
    "\n"
    "Commands:\n"
    "  build SCRIPT [--out OUT] [--method M] [--level N] [--werror] [--quiet]\n"
    "      Make the installer a build script describes: its [build] section\n"
    "      names the output and the support files, its [sources] the\n"
    "      application files; the payload's setup.ini is written from it.\n"
    "      The script is checked first (see check); errors, or warnings with\n"
    "      --werror, stop the build with exit code 1. [build] sign= signs as\n"
    "      pack --sign does. [build] architecture=x86 (default) or x64 picks the\n"
    "      product's setup.exe and uninstall.exe for 32-bit or 64-bit setups;\n"
    "      method= and level= compress as pack's --method and --level do (which\n"
    "      win over them).\n"
    "  inspect FILE [--json]\n"
    "      What the installer FILE will do, read from its payload alone.\n"
    "  pack {--stub STUB | --architecture x86|x64} --out OUT [--method M]\n"
    "       [--level N] [--sign COMMAND] [--threads N] [--quiet] ITEM...\n"
    "      Copy STUB to OUT and append a payload holding the ITEMs. An ITEM is\n"
    "      PATH (a file under its base name, a directory's files under their\n"
    "      paths relative to it, in name order) or NAME=PATH (one file under\n"
    "      the entry name NAME). --method lzma, deflate or store (default\n"
    "      lzma); --level 0 stores, 1 to 9 compress (default 6; for lzma\n"
    "      the LZMA presets, dictionary at most the entry and 64 MiB; --store\n"
    "      is --level 0); what the method cannot shrink is stored.\n"
    "      --sign runs COMMAND on uninstall.exe before it is packed and on the\n"
    "      finished installer, {in} and {out} replaced by the quoted paths of\n"
    "      the file to sign and the signed file; without {in} it signs {out}\n"
    "      in place. A certificate table of STUB is removed. --threads: how\n"
    "      many threads compress (default: one per processor). Entry times\n"
    "      are the files' own, in UTC, at most SOURCE_DATE_EPOCH when set.\n"
    "      --architecture: STUB and an entry uninstall.exe must be 32-bit (x86)\n"
    "      or 64-bit (x64) programs; without --stub, the product's setup.exe\n"
    "      of that architecture is taken. Without it they need only agree.\n"
    "  list FILE\n"
    "      One line per entry: index, method, size, compressed size, CRC-32,\n"
    "      date and time, name.\n"
    "  extract FILE DIR [--quiet]\n"
    "      Extract every entry below DIR, one line per entry.\n"
    "  check FILE [--werror]\n"
    "      Report, as compilers do, what setup.exe would make of the setup.ini,\n"
    "      build script or installer FILE otherwise than meant; check --help\n"
    "      tells more, check --list names every check. Exit 1 with errors (or\n"
    "      warnings and --werror).\n"
    "  --help\n"
    "      Show this text.\n"
    "\n"
    "An argument @FILE stands for the lines of FILE, one argument a line.\n"
    "On a terminal, build, pack and extract show their progress.\n"
    "\n"
    "Exit codes: 0 success (warnings included); 1 some entries could not be\n"
    "packed or extracted, or findings that are errors (build: also a script,\n"
    "a source or a [build] file that cannot be read);\n"
    "2 wrong arguments, or a file that cannot be read or holds no sound payload;\n"
    "3 the signing command failed or left no signed file (no installer is left).\n";

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"build", RunBuildCommand}, {"check", RunCheckCommand}, {"inspect", RunInspectCommand},
    {"pack", RunPackCommand},   {"list", RunListCommand},   {"extract", RunExtractCommand},
};

// The command sees the arguments with every @FILE replaced by its lines.
int RunExpanded(const Command& command, int argc, char** argv) {
    std::vector<std::string> expanded;
    std::string problem;
    if (!ExpandArgumentFiles(argc, argv, &expanded, &problem)) {
        fprintf(stderr, "tolvanex-build: %s\n", problem.c_str());
        return kExitBadInput;
    }
    std::vector<char*> arguments;
    for (std::string& argument : expanded) {
        arguments.push_back(&argument[0]);
    }
    arguments.push_back(nullptr);
    return command.run(static_cast<int>(expanded.size()), arguments.data());
}

} // namespace

int ReportUsageError() {
    fputs(kUsage, stderr);
    return kExitBadInput;
}

void ReportProblem(const char* subject, const char* reason) {
    fprintf(stderr, "tolvanex-build: %s: %s\n", ShownText(subject).c_str(),
            ShownText(reason).c_str());
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (argc >= 2) {
        for (const Command& command : kCommands) {
            if (strcmp(argv[1], command.name) == 0) {
                return RunExpanded(command, argc - 2, argv + 2);
            }
        }
    }
    return ReportUsageError();
}

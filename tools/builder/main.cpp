// tolvanex-build: packs payloads behind a stub program, lists and extracts
// them.
#include <cstdio>
#include <cstring>

#include "tools/builder/builder_commands.h"

namespace {

const char kUsage[] =
    "Usage: tolvanex-build COMMAND ARGUMENTS...\n"
    "\n"
    "Commands:\n"
    "  pack --stub STUB --out OUT [--level N] [--sign COMMAND] [--threads N] ITEM...\n"
    "      Copy STUB to OUT and append a payload holding the ITEMs. An ITEM is\n"
    "      PATH (a file under its base name, a directory's files under their\n"
    "      paths relative to it, in name order) or NAME=PATH (one file under\n"
    "      the entry name NAME). --level 0 stores, 1 to 9 deflate (default 6;\n"
    "      --store is --level 0); what deflate cannot shrink is stored.\n"
    "      --sign runs COMMAND on uninstall.exe before it is packed and on the\n"
    "      finished installer, {in} and {out} replaced by the quoted paths of\n"
    "      the file to sign and the signed file; without {in} it signs {out}\n"
    "      in place. A certificate table of STUB is removed. --threads: how\n"
    "      many threads compress (default: one per processor). Entry times\n"
    "      are the files' own, in UTC, at most SOURCE_DATE_EPOCH when set.\n"
    "  list FILE\n"
    "      One line per entry: index, method, size, compressed size, CRC-32,\n"
    "      date and time, name.\n"
    "  extract FILE DIR\n"
    "      Extract every entry below DIR, one line per entry.\n"
    "  --help\n"
    "      Show this text.\n"
    "\n"
    "Exit codes: 0 success; 1 some entries could not be packed or extracted;\n"
    "2 wrong arguments, or a file that cannot be read or holds no sound payload;\n"
    "3 the signing command failed or left no signed file (no installer is left).\n";

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"pack", RunPackCommand},
    {"list", RunListCommand},
    {"extract", RunExtractCommand},
};

} // namespace

int ReportUsageError() {
    fputs(kUsage, stderr);
    return kExitBadInput;
}

void ReportProblem(const char* subject, const char* reason) {
    fprintf(stderr, "tolvanex-build: %s: %s\n", subject, reason);
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (argc >= 2) {
        for (const Command& command : kCommands) {
            if (strcmp(argv[1], command.name) == 0) {
                return command.run(argc - 2, argv + 2);
            }
        }
    }
    return ReportUsageError();
}

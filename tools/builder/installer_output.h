// Writing an installer: the stub program, with a signature it carries
// removed, and a payload of entries behind it, optionally signed. One home
// for every subcommand that makes installers. The result is reproducible:
// entries in the order given, each entry's time from its source file in UTC,
// held to SOURCE_DATE_EPOCH when that is set, nothing else of the build
// machine.
#pragma once

#include <string>
#include <vector>

#include "archive/payload_writer.h"

// The level that meets both of bench/pack_bench.sh's targets, and the
// method that meets bench/lzma_bench.sh's.
constexpr int kDefaultInstallerLevel = 6;
constexpr PayloadMethod kDefaultInstallerMethod = PayloadMethod::Lzma;

// "deflate", "lzma" or "store" as a method; false for any other name.
bool ParsePayloadMethod(const char* name, PayloadMethod* method);

struct InstallerEntry {
    std::string name;       // as stored, "/" separating directories
    std::string sourcePath; // the file whose bytes and time it gets
    std::string data;       // the bytes when sourcePath is empty (dated 1980-01-01)
    // "FILE:LINE" of the script line that named it, for messages.
    std::string origin = {};
};

struct InstallerSettings {
    std::string stubPath;
    std::string outPath;
    PayloadMethod method = kDefaultInstallerMethod;
    int level = kDefaultInstallerLevel; // 0 stores, 1 to 9 deflate or LZMA presets
    // Run on the entry named uninstall.exe before it is packed, then on the
    // finished installer; see sign_command.h. Empty: no signing.
    std::string signCommand;
    unsigned threads = 0; // compressing threads; 0: one per processor
    bool quiet = false;   // no progress line even on a terminal
};

// Writes the installer to a temporary file of its own beside outPath
// (temporary_output.h) and renames it at the end, so that outPath is either
// the finished installer or as it was, also when another run writes it at
// the same time or a signal ends this one.
// Problems are printed as "tolvanex-build: SUBJECT: REASON"; exitCode, when
// given, receives the builder's exit code (builder_commands.h).
bool WriteInstaller(const InstallerSettings& settings, const std::vector<InstallerEntry>& entries,
                    int* exitCode = nullptr);

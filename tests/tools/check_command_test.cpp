// tolvanex-build check as a user runs it: on the example script, on faulty
// scripts, on a built installer, and with wrong arguments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/archive/archive_test_support.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string err;
};

std::string ReadText(const std::string& path) {
    std::string text;
    for (unsigned char c : ReadFileBytes(path)) {
        if (c != '\r') {
            text.push_back(static_cast<char>(c));
        }
    }
    return text;
}

ToolRun RunTool(const std::vector<std::string>& arguments) {
    ScratchDirectory capture;
    const std::string errPath = capture.Join("err");
    std::string command = "\"" + std::string(TOLVANEX_BUILD_TOOL) + "\"";
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    command += " >\"" + capture.Join("out") + "\" 2>\"" + errPath + "\"";
#ifdef _WIN32
    command = "\"" + command + "\""; // cmd.exe strips the outermost pair of quotes
    const int exitCode = std::system(command.c_str());
#else
    const int status = std::system(command.c_str());
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return ToolRun{exitCode, ReadText(errPath)};
}

void WriteText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteFileBytes(path, Bytes(text.begin(), text.end())));
}

const char kScript[] = "[main]\napptitle=A\ndestdir=%%PROGRAMFILES%%A\n"
                       "[files]\n1=%%INSTALLDIR%%a.exe\n";

// The example staged as scripts/run-example.sh stages it: check collects its
// [sources] as build does, so the programs must be there.
std::string StageExample(const ScratchDirectory& scratch) {
    namespace fs = std::filesystem;
    const fs::path examples = fs::path(TOLVANEX_EXAMPLE_SCRIPT).parent_path();
    fs::copy(examples / "payload", scratch.Join("payload"), fs::copy_options::recursive);
    fs::copy_file(TOLVANEX_EXAMPLE_SCRIPT, scratch.Join("build.ini"));
    fs::create_directory(scratch.Join("programs"));
    for (const char* program : {"programs/beispiel.exe", "programs/beispieldienst.exe"}) {
        EXPECT_TRUE(WriteFileBytes(scratch.Join(program), Bytes{'M', 'Z'}));
    }
    return scratch.Join("build.ini");
}

TEST(CheckCommand, PassesTheExampleWithoutAWord) {
    ScratchDirectory scratch;
    const ToolRun run = RunTool({"check", StageExample(scratch)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

struct ScriptRun {
    std::string script;
    std::vector<std::string> flags;
    int exitCode;
    std::string firstLine; // after "PATH:"
};

TEST(CheckCommand, ReportsLikeACompilerWithTheExitCodeOfTheWorstFinding) {
    const ScriptRun kRuns[] = {
        {kScript, {}, 0, ""},
        {std::string(kScript) + "[dialogs]\nshow_licence=yes\n",
         {},
         0,
         "7: warning: setup.exe never reads \"show_licence\" in [dialogs] (did you mean "
         "\"show_license\"?) [ignored-key]"},
        {std::string(kScript) + "[dialogs]\nshow_licence=yes\n",
         {"--werror"},
         1,
         "7: error: setup.exe never reads \"show_licence\" in [dialogs] (did you mean "
         "\"show_license\"?) [ignored-key]"},
        {std::string(kScript) + "2=%%INSTALLDIR%%sub\\b.exe\n",
         {},
         1,
         "6: error: the target's folder is created by nothing ([folders] does not list it): "
         "setup.exe cannot copy the file (message 140) [folder-not-created]"},
        {std::string(kScript) + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%\xE4\xB8\xAD\n",
         {},
         1,
         "8: error: the character U+4E2D \"\xE4\xB8\xAD\" has no place in code page 1252, in "
         "which setup.exe reads its script"},
    };
    for (const ScriptRun& r : kRuns) {
        SCOPED_TRACE(r.script);
        ScratchDirectory scratch;
        const std::string path = scratch.Join("setup.ini");
        WriteText(path, r.script);
        std::vector<std::string> arguments = {"check", path};
        arguments.insert(arguments.end(), r.flags.begin(), r.flags.end());
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, r.exitCode) << run.err;
        if (r.firstLine.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.substr(0, run.err.find('\n')), path + ":" + r.firstLine);
        }
    }
}

TEST(CheckCommand, ChecksAnInstallersEntriesAgainstItsScript) {
    ScratchDirectory scratch;
    WriteText(scratch.Join("stub.exe"), "MZ stub");
    WriteText(scratch.Join("setup.ini"), kScript);
    WriteText(scratch.Join("a.exe"), "a");
    const std::string installer = scratch.Join("setup.exe");
    // The stub is no setup.exe that reads LZMA: deflate.
    const ToolRun packed =
        RunTool({"pack", "--stub", scratch.Join("stub.exe"), "--method", "deflate", "--out",
                 installer, scratch.Join("setup.ini"), "file_1=" + scratch.Join("a.exe"),
                 "file_2=" + scratch.Join("a.exe")});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    const ToolRun run = RunTool({"check", installer});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, installer +
                           "(setup.ini):4: error: the payload entry \"file_2\" has no target in "
                           "[files] (key \"2\"): setup.exe shows message 140 and installs "
                           "nothing from it [entry-without-target]\n");
}

TEST(CheckCommand, NamesAnEndRecordBeyondTheReadersReach) {
    ScratchDirectory scratch;
    WriteText(scratch.Join("stub.exe"), "MZ stub");
    WriteText(scratch.Join("setup.ini"), kScript);
    const std::string installer = scratch.Join("setup.exe");
    ASSERT_EQ(RunTool({"pack", "--stub", scratch.Join("stub.exe"), "--method", "deflate", "--out",
                       installer, scratch.Join("setup.ini")})
                  .exitCode,
              0);
    // As a signer appends its table: within the reach the payload is read,
    // beyond it the installer is named as unusable.
    for (const auto& [tail, exitCode] : {std::pair{60000, 0}, std::pair{70000, 1}}) {
        SCOPED_TRACE(tail);
        const std::string behind = scratch.Join("behind.exe");
        const std::vector<unsigned char> packed = ReadFileBytes(installer);
        std::string bytes(packed.begin(), packed.end());
        bytes.append(tail, '\0');
        WriteText(behind, bytes);
        const ToolRun run = RunTool({"check", behind});
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_EQ(run.err.find("[end-record-out-of-reach]") != std::string::npos, exitCode == 1)
            << run.err;
    }
}

// An installer made outside the builder, whose refusal to pack a mix is
// not there to stop it: setup.exe's and uninstall.exe's machines.
TEST(CheckCommand, RefusesAnInstallerWhoseTwoProgramsAreOfDifferentArchitectures) {
    struct Case {
        uint16_t setup, uninstaller;
        int exitCode;
    };
    const Case kCases[] = {
        {0x14c, 0x8664, 1},
        {0x8664, 0x14c, 1},
        {0x14c, 0x14c, 0},
        {0x8664, 0x8664, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.setup) + "/" + std::to_string(c.uninstaller));
        ScratchDirectory scratch;
        RawArchive archive;
        archive.prefix = ProgramHeaderBytes(c.setup);
        archive.entries.push_back(StoredEntry("setup.ini", Bytes(kScript, kScript + 40)));
        archive.entries.push_back(StoredEntry("uninstall.exe", ProgramHeaderBytes(c.uninstaller)));
        const std::string installer = scratch.Join("setup.exe");
        ASSERT_TRUE(WriteFileBytes(installer, BuildRawArchive(archive)));
        const ToolRun run = RunTool({"check", installer});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.find("[mixed-architecture]") != std::string::npos, c.exitCode == 1)
            << run.err;
    }
}

// %%PROGRAMFILES%% is shorter for a 64-bit setup: registry data that a 32-bit
// one may cut fits.
TEST(CheckCommand, MeasuresProgramFilesByTheArchitecture) {
    const std::string name(230, 'a');
    struct Case {
        const char* build;
        int exitCode;
        bool tooLong;
        const char* finding;
    };
    const Case kCases[] = {
        {"", 0, true, ""},
        {"architecture=x86\n", 0, true, ""},
        {"architecture=x64\n", 0, false, ""},
        {"architecture=arm\n", 1, true,
         ":10: error: architecture=\"arm\": x86 or x64 expected [bad-architecture]"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.build);
        ScratchDirectory scratch;
        const std::string path = scratch.Join("build.ini");
        WriteText(path, "[main]\napptitle=A\ndestdir=%%PROGRAMFILES%%A\n[reg]\ncount=1\n"
                        "0_hkey=HKEY_LOCAL_MACHINE\n0_key=Software\\A\n0_std=%%PROGRAMFILES%%" +
                            name + "\n[build]\n" + c.build);
        const ToolRun run = RunTool({"check", path});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.find("[path-too-long]") != std::string::npos ||
                      run.err.find("[text-too-long]") != std::string::npos,
                  c.tooLong)
            << run.err;
        EXPECT_NE(run.err.find(c.finding), std::string::npos) << run.err;
    }
}

// "name severity" for each check, from README.md's table (names in backticks
// in the first column, several to a row) or from `check --list`.
std::set<std::string> ReadmeChecks() {
    const std::string text = ReadText(TOLVANEX_README);
    const size_t table = text.find("| Name | | Catches |");
    EXPECT_NE(table, std::string::npos);
    std::set<std::string> rows;
    size_t at = text.find('\n', text.find('\n', table) + 1) + 1;
    while (at < text.size() && text[at] == '|') {
        const size_t end = text.find('\n', at);
        const std::string row = text.substr(at, end - at);
        const size_t second = row.find('|', 1);
        const size_t third = row.find('|', second + 1);
        std::string severity = row.substr(second + 1, third - second - 1);
        severity.erase(0, severity.find_first_not_of(' '));
        severity.erase(severity.find_last_not_of(' ') + 1);
        for (size_t tick = row.find('`'); tick < second; tick = row.find('`', tick + 1)) {
            const size_t close = row.find('`', tick + 1);
            rows.insert(row.substr(tick + 1, close - tick - 1) + " " + severity);
            tick = close;
        }
        at = end + 1;
    }
    return rows;
}

std::set<std::string> ListedChecks(const std::string& listing) {
    std::set<std::string> rows;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name, severity;
        if (line.rfind("  ", 0) == 0 && words >> name >> severity) {
            rows.insert(name + " " + severity);
        }
    }
    return rows;
}

TEST(CheckCommand, ListsEveryCheckAsTheReadmeDoes) {
    ScratchDirectory capture;
    const std::string command = "\"" + std::string(TOLVANEX_BUILD_TOOL) + "\" check --list >\"" +
                                capture.Join("out") + "\"";
#ifdef _WIN32
    ASSERT_EQ(std::system(("\"" + command + "\"").c_str()), 0);
#else
    ASSERT_EQ(std::system(command.c_str()), 0);
#endif
    const std::set<std::string> listed = ListedChecks(ReadText(capture.Join("out")));
    EXPECT_GT(listed.size(), 40u);
    EXPECT_EQ(listed, ReadmeChecks());
}

// check on a build script with [sources] sees the [files] and [folders]
// build would write: a finish-page program that no source installs is found
// before building, and sources that match nothing fail as in build.
TEST(CheckCommand, CollectsTheSourcesOfABuildScriptAsBuildDoes) {
    const std::string kSources = "[sources]\ncount=1\n0_from=bin/*.exe\n0_to=%%INSTALLDIR%%\n";
    const std::string kMain = "[main]\napptitle=A\ndestdir=%%PROGRAMFILES%%A\n";
    const ScriptRun kRuns[] = {
        {kSources + kMain +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%INSTALLDIR%%app.exe\n",
         {},
         0,
         ""},
        {kSources + kMain +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%INSTALLDIR%%b.exe\n",
         {},
         0,
         "10: warning: \"%%INSTALLDIR%%b.exe\" is no file the installation installs "
         "[done-path-not-installed]"},
        {"[sources]\ncount=1\n0_from=lib/*.dll\n0_to=%%INSTALLDIR%%\n" + kMain,
         {},
         1,
         "3: error: lib/*.dll: matches no file"},
    };
    for (const ScriptRun& r : kRuns) {
        SCOPED_TRACE(r.script);
        ScratchDirectory scratch;
        std::filesystem::create_directory(scratch.Join("bin"));
        WriteText(scratch.Join("bin/app.exe"), "MZ");
        const std::string path = scratch.Join("app.tvx");
        WriteText(path, r.script);
        const ToolRun run = RunTool({"check", path});
        EXPECT_EQ(run.exitCode, r.exitCode) << run.err;
        if (r.firstLine.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.substr(0, run.err.find('\n')), path + ":" + r.firstLine);
        }
    }
}

// setup.exe reads its setup.ini's bytes as CP1252: one saved as UTF-8 shows
// "PrÃ¼fprogramm", alone and in an installer; build converts a build script.
TEST(CheckCommand, SeesASetupIniAsSetupExeReadsIt) {
    ScratchDirectory scratch;
    const std::string utf8 = "[main]\napptitle=A\ndestdir=%%PROGRAMFILES%%A\n[files]\n"
                             "1=%%INSTALLDIR%%a.exe\n[dialogs]\n; Pr\xC3\xBC"
                             "fung\n";
    const std::string cp1252 = "[main]\napptitle=Pr\xFC"
                               "fprogramm\ndestdir=%%PROGRAMFILES%%A\n"
                               "[files]\n1=%%INSTALLDIR%%a.exe\n";
    WriteText(scratch.Join("utf8.ini"), utf8);
    WriteText(scratch.Join("cp1252.ini"), cp1252);
    WriteText(scratch.Join("stub.exe"), "MZ stub");
    WriteText(scratch.Join("a.exe"), "a");
    const std::string installer = scratch.Join("setup.exe");
    ASSERT_EQ(RunTool({"pack", "--stub", scratch.Join("stub.exe"), "--out", installer,
                       "setup.ini=" + scratch.Join("utf8.ini"), "file_1=" + scratch.Join("a.exe")})
                  .exitCode,
              0);
    const std::string shown = "7: warning: the file is UTF-8, but setup.exe reads its bytes as "
                              "code page 1252 and shows this line as \"; Pr\xC3\x83\xC2\xBC"
                              "fung\"";
    struct Case {
        std::string file;
        std::string firstLine; // after the file's name; "" for none
    };
    const Case kCases[] = {
        {scratch.Join("utf8.ini"), ":" + shown},
        {installer, "(setup.ini):" + shown},
        {scratch.Join("cp1252.ini"), ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        const ToolRun run = RunTool({"check", c.file});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        if (c.firstLine.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.substr(0, run.err.find(" (save")), c.file + c.firstLine);
        }
    }
}

TEST(CheckCommand, RefusesWrongArgumentsAndUnreadableFiles) {
    ScratchDirectory scratch;
    const std::vector<std::vector<std::string>> kWrong = {
        {"check"},
        {"check", "a.ini", "b.ini"},
        {"check", "--strict", "a.ini"},
        {"check", scratch.Join("missing.ini")},
    };
    for (const std::vector<std::string>& arguments : kWrong) {
        SCOPED_TRACE(arguments.back());
        EXPECT_EQ(RunTool(arguments).exitCode, 2);
    }
}

} // namespace

// An entry is readable when the installer's own setup.exe lists its method;
// a setup.exe without that list is one from before LZMA entries.
TEST(CheckCommand, NamesEntriesTheInstallersSetupCannotRead) {
    using namespace std::string_literals;
    ScratchDirectory scratch;
    WriteText(scratch.Join("setup.ini"), kScript);
    ASSERT_TRUE(WriteFileBytes(scratch.Join("a.exe"), CompressibleBytes(20000, 4)));
    struct Case {
        std::string stub;
        const char* method;
        bool unreadable; // file_1 reported, exit code 1
    };
    const Case cases[] = {
        {"MZ older stub", "deflate", false},
        {"MZ older stub", "lzma", true},
        {"MZ\0tolvanex-reader-methods: 0 8 14;\0rest"s, "lzma", false},
        {"MZ\0tolvanex-reader-methods: 0 8 14;\0rest"s, "deflate", false},
        {"MZ\0tolvanex-reader-methods: 0 8;\0rest"s, "lzma", true},
        {"MZ\0tolvanex-reader-methods: 0 14;\0rest"s, "deflate", true},
        {"MZ\0tolvanex-reader-methods: 0 8 14"s, "lzma", true}, // the list never ends
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stub.substr(3) + " " + c.method);
        const std::string stubPath = scratch.Join("stub.exe");
        ASSERT_TRUE(WriteFileBytes(stubPath, Bytes(c.stub.begin(), c.stub.end())));
        const std::string installer = scratch.Join("setup.exe");
        const ToolRun packed =
            RunTool({"pack", "--stub", stubPath, "--out", installer, "--method", c.method,
                     scratch.Join("setup.ini"), "file_1=" + scratch.Join("a.exe")});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
        const ToolRun run = RunTool({"check", installer});
        EXPECT_EQ(run.exitCode, c.unreadable ? 1 : 0) << run.err;
        EXPECT_EQ(run.err.find("\"file_1\" is compressed with method") != std::string::npos,
                  c.unreadable)
            << run.err;
        EXPECT_EQ(run.err.find("[unreadable-method]") != std::string::npos, c.unreadable)
            << run.err;
        // A finding about the installer as a whole, with the check's severity.
        EXPECT_EQ(run.err.find(installer + ": error: entry \"file_1\"") != std::string::npos,
                  c.unreadable)
            << run.err;
    }
}

// tolvanex-build check as a user runs it: on the example script, on faulty
// scripts, on a built installer, and with wrong arguments.
#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(CheckCommand, PassesTheExampleWithoutAWord) {
    const ToolRun run = RunTool({"check", TOLVANEX_EXAMPLE_SCRIPT});
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
    }
}

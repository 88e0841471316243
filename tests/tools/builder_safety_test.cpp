// The builder's defences against what it is handed: the signing command's
// placeholders, names shown on a terminal, the glob matcher's work, the
// temporary files and the output that would replace an input.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/archive/archive_test_support.h"
#include "tools/builder/build_sources.h"
#include "tools/builder/script_document.h"
#include "tools/builder/setup_script_generation.h"
#include "tools/builder/sign_command.h"
#include "tools/builder/temporary_output.h"
#include "tools/builder/terminal_text.h"

namespace fs = std::filesystem;

namespace {

TEST(ShownText, ControlCharactersAreEscapedAndOtherBytesKept) {
    struct Case {
        std::string text, shown;
    };
    const Case cases[] = {
        {"plain name.exe", "plain name.exe"},
        {"z.txt\n[svc]\r\n", "z.txt\\x0a[svc]\\x0d\\x0a"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"del\x7f", "del\\x7f"},
        {"tab\there", "tab\\x09here"},
        {"\xe4\xf6\xfc\x9b", "\xe4\xf6\xfc\x9b"}, // CP1252 letters stay
        {"back\\slash", "back\\slash"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownText(c.text), c.shown) << c.shown;
    }
}

TEST(SignShellLine, PlaceholdersBecomeVariableReferencesQuotedWhereTheyStand) {
    struct Case {
        const char* command;
        const char* line;
    };
#ifdef _WIN32
    const Case cases[] = {
        {"signtool sign {out}", "signtool sign \"%TOLVANEX_SIGN_OUT%\""},
        {"signtool sign \"{out}\"", "signtool sign \"%TOLVANEX_SIGN_OUT%\""},
        {"copy {in} {out}", "copy \"%TOLVANEX_SIGN_IN%\" \"%TOLVANEX_SIGN_OUT%\""},
        {"tool {in}{out}", "tool \"%TOLVANEX_SIGN_IN%\"\"%TOLVANEX_SIGN_OUT%\""},
        {"no placeholders", "no placeholders"},
    };
#else
    const Case cases[] = {
        {"cp {in} {out}", "cp \"${TOLVANEX_SIGN_IN}\" \"${TOLVANEX_SIGN_OUT}\""},
        {"cp \"{in}\" \"{out}\"", "cp \"${TOLVANEX_SIGN_IN}\" \"${TOLVANEX_SIGN_OUT}\""},
        // Single quotes closed before the reference and opened again after it.
        {"cp '{in}' '{out}'", "cp ''\"${TOLVANEX_SIGN_IN}\"'' ''\"${TOLVANEX_SIGN_OUT}\"''"},
        {"cp 'a{in}b'", "cp 'a'\"${TOLVANEX_SIGN_IN}\"'b'"},
        {"x -out {out}.signed && mv {out}.signed {out}",
         "x -out \"${TOLVANEX_SIGN_OUT}\".signed && mv \"${TOLVANEX_SIGN_OUT}\".signed "
         "\"${TOLVANEX_SIGN_OUT}\""},
        // A quote inside the other kind ends nothing; an escaped one neither.
        {"echo \"it's\" {in}", "echo \"it's\" \"${TOLVANEX_SIGN_IN}\""},
        {"echo \\\" {in}", "echo \\\" \"${TOLVANEX_SIGN_IN}\""},
        {"echo '\\' {in}", "echo '\\' \"${TOLVANEX_SIGN_IN}\""},
        // Replaced once: what a replacement holds is never looked at again.
        {"{in}{out}{in}", "\"${TOLVANEX_SIGN_IN}\"\"${TOLVANEX_SIGN_OUT}\"\"${TOLVANEX_SIGN_IN}\""},
        {"{inn} {ou} {OUT}", "{inn} {ou} {OUT}"},
    };
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(SignShellLine(c.command), c.line) << c.command;
    }
}

TEST(SignerPath, ARelativePathThatLooksLikeAnOptionIsAnchored) {
    const std::string here = std::string(".") + NativeSeparator();
    EXPECT_EQ(SignerPath("-x.exe"), here + "-x.exe");
    EXPECT_EQ(SignerPath("--help"), here + "--help");
    EXPECT_EQ(SignerPath("x-.exe"), "x-.exe");
    EXPECT_EQ(SignerPath("dir/-x.exe"), "dir/-x.exe");
    EXPECT_EQ(SignerPath(""), "");
}

TEST(MatchName, StarsAndQuestionMarksWithinOneName) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*", "", true},
        {"*", "a.txt", true},
        {"*.txt", "a.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", ".txt", true},
        {"a*b*c", "abc", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYc-", false},
        {"?", "", false},
        {"?", "x", true},
        {"??.dll", "ab.dll", true},
        {"??.dll", "abc.dll", false},
        {"*a", "baaa", true},
        {"*ab", "aab", true},
        {"*ab*", "xaxbx", false},
        {"", "", true},
        {"", "a", false},
        {"a**", "a", true},
        {"*?*", "", false},
        {"exact", "Exact", false}, // byte-wise: the caller folds case if it wants
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchName(c.pattern, c.name), c.matches) << c.pattern << " on " << c.name;
    }
}

// Each star tried at every place for every other star would take longer
// than the test run; the matcher goes back to the last star only.
TEST(MatchName, ManyStarsOnALongNameThatAlmostMatches) {
    const std::string name(60, 'a');
    EXPECT_FALSE(MatchName("*a*a*a*a*a*a*a*a*a*b", name.c_str()));
    EXPECT_TRUE(MatchName("*a*a*a*a*a*a*a*a*a*", name.c_str()));
    const std::string longName(100000, 'a');
    EXPECT_FALSE(MatchName("*a*a*a*a*a*a*a*a*a*b", longName.c_str()));
}

TEST(TemporaryOutput, NamesAreUniqueCreatedExclusivelyAndRemoved) {
    ScratchDirectory scratch;
    const std::string out = scratch.Join("setup.exe");
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        std::string path;
        ASSERT_TRUE(CreateTemporaryBeside(out, "part", &path));
        EXPECT_EQ(path.rfind(out + ".", 0), 0u) << path;
        EXPECT_EQ(fs::path(path).parent_path(), fs::path(out).parent_path());
        EXPECT_TRUE(PathExists(path));
        EXPECT_TRUE(names.insert(path).second) << "name given twice: " << path;
    }
    for (const std::string& path : names) {
        RemoveTemporary(path);
        EXPECT_FALSE(PathExists(path));
    }
    std::string moved;
    ASSERT_TRUE(CreateTemporaryBeside(out, "part", &moved));
    ASSERT_TRUE(WriteFileBytes(moved, Bytes{'n', 'e', 'w'}));
    ASSERT_TRUE(WriteFileBytes(out, Bytes{'o', 'l', 'd'}));
    ASSERT_TRUE(MoveTemporaryInto(moved, out));
    EXPECT_EQ(ReadFileBytes(out), (Bytes{'n', 'e', 'w'}));
    EXPECT_FALSE(PathExists(moved));
    std::string none;
    EXPECT_FALSE(CreateTemporaryBeside(scratch.Join("no-such-folder/setup.exe"), "part", &none));
}

TEST(InputNamedAsOutput, TheSameFileUnderAnyNameIsFound) {
    ScratchDirectory scratch;
    const std::string script = scratch.Join("build.ini");
    const std::string stub = scratch.Join("stub.exe");
    ASSERT_TRUE(WriteFileBytes(script, Bytes{'s'}));
    ASSERT_TRUE(WriteFileBytes(stub, Bytes{'t'}));
    const std::vector<std::string> inputs{script, stub, ""};
    struct Case {
        std::string out;
        std::string found;
    };
    std::vector<Case> cases = {
        {scratch.Join("setup.exe"), ""},
        {script, script},
        {stub, stub},
        {scratch.Join(".") + NativeSeparator() + "stub.exe", stub},
    };
    std::error_code error;
    fs::create_hard_link(stub, scratch.Join("hard.exe"), error);
    if (!error) {
        cases.push_back({scratch.Join("hard.exe"), stub});
    }
#ifndef _WIN32
    fs::create_symlink(script, scratch.Join("link.ini"), error);
    ASSERT_FALSE(error);
    cases.push_back({scratch.Join("link.ini"), script});
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(InputNamedAsOutput(c.out, inputs), c.found) << c.out;
    }
}

// The setup.ini written from a build script, read back: a target that would
// end its line is caught, whatever passed it to the writer.
TEST(SetupScriptGeneration, WhatWouldReadBackOtherwiseIsCaughtWithItsLine) {
    ScriptDocument script;
    std::string error;
    ASSERT_TRUE(ParseScriptDocument("[main]\napptitle=Demo\n[folders]\ncount=2000000000\n"
                                    "2=%%INSTALLDIR%%b\n1=%%INSTALLDIR%%a\n1=%%INSTALLDIR%%z\n"
                                    "01=%%INSTALLDIR%%zero\n[sources]\ncount=1\n0_from=app\n"
                                    "0_to=%%INSTALLDIR%%\n",
                                    "build.ini", &script, &error))
        << error;
    const ScriptSection* sources = FindSection(script, "sources");
    ASSERT_NE(sources, nullptr);
    struct Case {
        const char* what;
        std::vector<std::string> targets;
        bool readsBack;
    };
    const Case cases[] = {
        {"plain names", {"%%INSTALLDIR%%a.exe", "%%INSTALLDIR%%sub\\b.dll"}, true},
        {"brackets and equals signs", {"%%INSTALLDIR%%[svc]", "%%INSTALLDIR%%x=y"}, true},
        {"a name with lines in it",
         {"%%INSTALLDIR%%ok.txt", "%%INSTALLDIR%%z.txt\n[svc]\ncount=1\n0_name=EvilSvc"},
         false},
        {"a line that opens a section", {"%%INSTALLDIR%%a\n[files]"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SourceFile> files;
        for (const std::string& target : c.targets) {
            files.push_back({"source", target, 13});
        }
        const ScriptDocument payload = GenerateSetupScript(script, *sources, files);
        const ScriptSection* folders = FindSection(payload, "folders");
        ASSERT_NE(folders, nullptr);
        // The listed 1 and 2 (the first of a key), then what the files need.
        ASSERT_GE(folders->entries.size(), 3u);
        EXPECT_EQ(ProfileValue(folders->entries[1]), "%%INSTALLDIR%%a");
        EXPECT_EQ(ProfileValue(folders->entries[2]), "%%INSTALLDIR%%b");
        EXPECT_EQ(FindSection(payload, "sources"), nullptr);
        int line = 0;
        EXPECT_EQ(ReadsBackAsWritten(payload, FormatScriptText(payload), &line), c.readsBack);
        if (!c.readsBack) {
            EXPECT_GT(line, 0);
        }
    }
}

} // namespace

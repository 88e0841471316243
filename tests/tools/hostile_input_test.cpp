// tolvanex-build handed what an attacker or an accident hands it: file names
// that would write setup.ini lines, an output that is one of the inputs, two
// builds to one output, signals, sources that vanish, links in the way of
// extract, control characters for the terminal, counts in the billions.
// The tool is started without a shell, so every byte of a name reaches it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "tests/archive/archive_test_support.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode = -1; // -1 when ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(WriteFileBytes(path, Bytes(text.begin(), text.end()))) << path;
}

// Starts the tool with stdout and stderr going to files beside `capture`.
pid_t StartTool(const std::vector<std::string>& arguments, const std::string& capture) {
    std::vector<std::string> words{TOLVANEX_BUILD_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);
    const std::string outPath = capture + ".out";
    const std::string errPath = capture + ".err";
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        const int err = open(errPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

ToolRun WaitTool(pid_t child, const std::string& capture) {
    ToolRun run;
    int status = 0;
    if (waitpid(child, &status, 0) == child) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    run.out = ReadText(capture + ".out");
    run.err = ReadText(capture + ".err");
    return run;
}

ToolRun RunTool(const std::vector<std::string>& arguments) {
    static int runs = 0;
    ScratchDirectory capture;
    const std::string base = capture.Join("run-" + std::to_string(++runs));
    return WaitTool(StartTool(arguments, base), base);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// The files in `directory` whose names begin with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& directory,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) {
            found.push_back(name);
        }
    }
    return found;
}

const char kSupportKeys[] = "stub=stub.exe\nuninstaller=uninstall.exe\nleft_picture=left.jpg\n"
                            "top_picture=top.jpg\n";

void WriteSupportFiles(const std::string& directory) {
    for (const char* name : {"stub.exe", "uninstall.exe", "left.jpg", "top.jpg"}) {
        WriteText(directory + "/" + name, std::string("support ") + name);
    }
    // The stub stands for this tree's setup.exe: check weighs the entries
    // against the methods it names.
    WriteText(directory + "/stub.exe", std::string("support stub.exe ") + kReaderMethodsMark);
}

// A build script of `directory` taking the files of app/ into the
// installation folder; `extra` goes before [sources].
std::string BuildScript(const std::string& extra = "") {
    return "[main]\napptitle=Demo\ndestdir=%%PROGRAMFILES%%Demo\n[build]\n" +
           std::string(kSupportKeys) + extra + "[sources]\ncount=1\n0_from=app\n" +
           "0_to=%%INSTALLDIR%%\n";
}
constexpr int kFromLine = 11; // of 0_from in BuildScript() without extra

// --- names ------------------------------------------------------------------------

TEST(SourceNames, NamesSetupCannotCreateOnWindowsAreErrorsNamingTheFile) {
    struct Case {
        const char* what;
        std::string name; // below app/
    };
    const Case refused[] = {
        {"setup.ini lines in a name",
         "z.txt\n[svc]\ncount=1\n0_name=EvilSvc\n0_binpath=C:\\evil.exe"},
        {"carriage return", "a\rb.txt"},
        {"escape", "\x1b[2Jclear.txt"},
        {"tab", "a\tb.txt"},
        {"less than", "a<b.txt"},
        {"greater than", "a>b.txt"},
        {"colon (a stream)", "a.txt:stream"},
        {"double quote", "a\"b.txt"},
        {"bar", "a|b.txt"},
        {"question mark", "what?.txt"},
        {"star", "all*.txt"},
        {"trailing dot", "name."},
        {"trailing blank", "name "},
        {"device", "NUL"},
        {"device with extension", "con.txt"},
        {"device in other case", "Aux.Log"},
        {"device with blanks before the dot", "prn .txt"},
        {"numbered device", "COM1"},
        {"numbered device with extension", "lpt9.dat"},
        {"superscript device", "COM\xc2\xb9.txt"}, // UTF-8 on this file system
        {"folder with a reserved name", "nul/inner.txt"},
        {"folder with a trailing dot", "dir./inner.txt"},
    };
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    const std::string script = dir + "/build.ini";
    WriteText(script, BuildScript());
    const std::string out = dir + "/setup.exe";
    WriteText(out, "an earlier installer");
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir + "/app");
        WriteText(dir + "/app/good.txt", "good");
        WriteText(dir + "/app/" + c.name, "named");
        const ToolRun run = RunTool({"build", script, "--out", out, "--quiet"});
        EXPECT_EQ(run.exitCode, 1);
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind(script + ":" + std::to_string(kFromLine) + ": error: ", 0), 0u)
            << lines[0];
        EXPECT_NE(lines[0].find("cannot create on Windows"), std::string::npos) << lines[0];
        EXPECT_FALSE(HasControlCharacter(run.err)) << run.err;
        EXPECT_EQ(ReadText(out), "an earlier installer");
        EXPECT_EQ(FilesStartingWith(dir, "setup.exe.").size(), 0u);
    }
    // Near misses Windows takes as ordinary names.
    const char* accepted[] = {"NULL.txt", "con-tool.exe", "COM10.txt", "COM0",     "LPT.txt",
                              "a.b.c",    ".hidden",      "dots..in",  "x nul.txt"};
    for (const char* name : accepted) {
        SCOPED_TRACE(name);
        fs::remove_all(dir + "/app");
        WriteText(dir + "/app/" + name, "named");
        const ToolRun run = RunTool({"build", script, "--out", out, "--quiet"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const ToolRun listed = RunTool({"list", out});
        EXPECT_NE(listed.out.find("file_1"), std::string::npos);
    }
}

// --- outputs ----------------------------------------------------------------------

TEST(OutputFile, AnOutputThatIsAnInputIsRefusedAndLeftAsItWas) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(dir + "/app/a.exe", "application");
    WriteText(dir + "/texts/license.rtf", "licence");
    const std::string script = dir + "/build.ini";
    WriteText(script, BuildScript("license=texts/license.rtf\n") + "[dialogs]\nshow_license=yes\n");
    fs::create_symlink(dir + "/app/a.exe", dir + "/link-to-a.exe");
    fs::create_hard_link(dir + "/stub.exe", dir + "/hard-stub.exe");
    const char* outputs[] = {"build.ini",     "stub.exe",          "uninstall.exe", "left.jpg",
                             "top.jpg",       "texts/license.rtf", "app/a.exe",     "link-to-a.exe",
                             "hard-stub.exe", "app/../build.ini"};
    for (const char* output : outputs) {
        SCOPED_TRACE(output);
        const std::string out = dir + "/" + output;
        const std::string before = ReadText(out);
        const ToolRun run = RunTool({"build", script, "--out", out, "--quiet"});
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find("would replace an input"), std::string::npos) << run.err;
        EXPECT_EQ(ReadText(out), before);
        EXPECT_EQ(FilesStartingWith(fs::path(out).parent_path().string(),
                                    fs::path(out).filename().string() + ".")
                      .size(),
                  0u);
    }
    // pack: the stub or an item.
    for (const char* output : {"stub.exe", "app/a.exe", "link-to-a.exe"}) {
        SCOPED_TRACE(std::string("pack ") + output);
        const std::string out = dir + "/" + output;
        const std::string before = ReadText(out);
        const ToolRun run = RunTool(
            {"pack", "--stub", dir + "/stub.exe", "--out", out, "file_1=" + dir + "/app/a.exe"});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("would replace an input"), std::string::npos) << run.err;
        EXPECT_EQ(ReadText(out), before);
    }
    const ToolRun fine = RunTool({"build", script, "--out", dir + "/setup.exe", "--quiet"});
    EXPECT_EQ(fine.exitCode, 0) << fine.err;
}

// Two builds of different scripts to one output at once: whichever ends last,
// the output is one of the two installers whole, and both say they wrote it.
TEST(OutputFile, TwoBuildsToOneOutputLeaveOneWholeInstaller) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    for (int tree = 0; tree < 2; ++tree) {
        for (int file = 0; file < 6; ++file) {
            const std::string path =
                dir + "/app" + std::to_string(tree) + "/f" + std::to_string(file) + ".bin";
            fs::create_directories(fs::path(path).parent_path());
            ASSERT_TRUE(WriteFileBytes(path, RandomBytes(1u << 20, 17u * tree + file)));
        }
        std::string text = BuildScript();
        text.replace(text.find("0_from=app"), 10, "0_from=app" + std::to_string(tree));
        WriteText(dir + "/build" + std::to_string(tree) + ".ini", text);
    }
    const std::string reference[2] = {dir + "/reference0.exe", dir + "/reference1.exe"};
    for (int tree = 0; tree < 2; ++tree) {
        ASSERT_EQ(RunTool({"build", dir + "/build" + std::to_string(tree) + ".ini", "--out",
                           reference[tree], "--quiet"})
                      .exitCode,
                  0);
    }
    const Bytes expected[2] = {ReadFileBytes(reference[0]), ReadFileBytes(reference[1])};
    ASSERT_NE(expected[0], expected[1]);
    const std::string out = dir + "/setup.exe";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const pid_t first =
            StartTool({"build", dir + "/build0.ini", "--out", out, "--quiet"}, dir + "/first");
        const pid_t second =
            StartTool({"build", dir + "/build1.ini", "--out", out, "--quiet"}, dir + "/second");
        const ToolRun firstRun = WaitTool(first, dir + "/first");
        const ToolRun secondRun = WaitTool(second, dir + "/second");
        EXPECT_EQ(firstRun.exitCode, 0) << firstRun.err;
        EXPECT_EQ(secondRun.exitCode, 0) << secondRun.err;
        const Bytes written = ReadFileBytes(out);
        EXPECT_TRUE(written == expected[0] || written == expected[1])
            << "the output is neither installer whole (" << written.size() << " bytes)";
        EXPECT_EQ(RunTool({"check", out}).exitCode, 0);
        EXPECT_EQ(FilesStartingWith(dir, "setup.exe.").size(), 0u);
    }
}

// A signing command that waits stands for a long build; the signal comes
// while the temporary installer and the signed copy exist.
TEST(OutputFile, SignalsRemoveTheTemporaryFilesBeforeTheBuilderEnds) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(dir + "/app/a.exe", "application");
    const std::string started = dir + "/signer-started";
    WriteText(dir + "/build.ini",
              BuildScript("sign=echo $$ >'" + started + "'.tmp; mv '" + started + "'.tmp '" +
                          started + "'; exec sleep 60\n"));
    const std::string out = dir + "/setup.exe";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        fs::remove(started);
        const pid_t tool =
            StartTool({"build", dir + "/build.ini", "--out", out, "--quiet"}, dir + "/signalled");
        // Waits for the signer as long as it takes; the test's own time
        // limit ends a builder that never gets there.
        while (!PathExists(started)) {
            usleep(10000);
        }
        EXPECT_GE(FilesStartingWith(dir, "setup.exe.").size(), 2u);
        kill(tool, signal);
        const ToolRun run = WaitTool(tool, dir + "/signalled");
        EXPECT_EQ(run.signal, signal);
        const pid_t signer = static_cast<pid_t>(std::stol(ReadText(started)));
        kill(signer, SIGKILL);
        EXPECT_EQ(FilesStartingWith(dir, "setup.exe").size(), 0u)
            << FilesStartingWith(dir, "setup.exe")[0];
    }
}

// The signer runs on the uninstaller before the application files are read.
TEST(OutputFile, ASourceDeletedDuringTheBuildIsReportedWithItsScriptLine) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(dir + "/app/a.exe", "application");
    WriteText(dir + "/app/b.exe", "application");
    const std::string script = dir + "/build.ini";
    WriteText(script, BuildScript("sign=rm -f '" + dir + "/app/b.exe'; cp {in} {out}\n"));
    const ToolRun run = RunTool({"build", script, "--out", dir + "/setup.exe", "--quiet"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind(script + ":" + std::to_string(kFromLine + 1) + ": error: ", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find("b.exe"), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(dir + "/setup.exe"));
    EXPECT_EQ(FilesStartingWith(dir, "setup.exe").size(), 0u);
}

// --- bounds -----------------------------------------------------------------------

TEST(Bounds, CountsInTheBillionsStopAtOnce) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(dir + "/app/a.exe", "application");
    struct Case {
        const char* what;
        std::string extraSections;
        std::string sourcesCount;
        const char* message;
    };
    const Case cases[] = {
        {"[sources] count", "", "2000000000", "[sources] count"},
        {"[sources] count one above a payload", "", "65535", "[sources] count"},
        {"[reg] count", "[reg]\ncount=2000000000\n", "1", "[bad-count]"},
        {"[svc] count that is not a number", "[svc]\ncount=2147483647x\n", "1", "[bad-count]"},
    };
    const std::string script = dir + "/build.ini";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = BuildScript() + c.extraSections;
        text.replace(text.find("count=1"), 7, "count=" + c.sourcesCount);
        WriteText(script, text);
        const ToolRun run = RunTool({"build", script, "--out", dir + "/setup.exe", "--quiet"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(PathExists(dir + "/setup.exe"));
    }
    // The builder writes [folders] itself from the folders listed: it looks
    // at those there are, not at every number up to the count. Whether the
    // count is worth a finding is the checks' to say.
    WriteText(script, BuildScript() + "[folders]\ncount=2000000000\n1=%%INSTALLDIR%%x\n");
    const ToolRun run = RunTool({"build", script, "--out", dir + "/setup.exe", "--quiet"});
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.err;
    if (run.exitCode == 0) {
        ASSERT_EQ(RunTool({"extract", dir + "/setup.exe", dir + "/x", "--quiet"}).exitCode, 0);
        EXPECT_NE(ReadText(dir + "/x/setup.ini").find("[folders]\r\ncount=1\r\n1=%%INSTALLDIR%%x"),
                  std::string::npos)
            << ReadText(dir + "/x/setup.ini");
    } else {
        EXPECT_NE(run.err.find("count"), std::string::npos) << run.err;
    }
}

TEST(Bounds, MoreFilesThanAPayloadHoldsStopTheCollecting) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    // 256 folders that are links to one of 256 files: 65,536 matches of
    // app/*/* (with setup.ini, the uninstaller and the two pictures two
    // more than 65,534) for few files made.
    fs::create_directories(dir + "/pool");
    fs::create_directories(dir + "/app");
    for (int i = 0; i < 256; ++i) {
        FILE* file = fopen((dir + "/pool/f" + std::to_string(i)).c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fclose(file);
        fs::create_directory_symlink(dir + "/pool", dir + "/app/d" + std::to_string(i));
    }
    const std::string script = dir + "/build.ini";
    std::string text = BuildScript();
    text.replace(text.find("0_from=app"), 10, "0_from=app/*/*");
    WriteText(script, text);
    const ToolRun run = RunTool({"build", script, "--out", dir + "/setup.exe", "--quiet"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind(script + ":" + std::to_string(kFromLine) + ": error: app/*/*: ", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find("more files than a payload holds"), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(dir + "/setup.exe"));
}

// --- reading installers -------------------------------------------------------------

TEST(ReadingInstallers, ExtractNeverWritesThroughALinkOnTheWay) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteText(dir + "/stub.exe", "stub");
    WriteText(dir + "/data.txt", "from the installer");
    const std::string installer = dir + "/setup.exe";
    ASSERT_EQ(RunTool({"pack", "--stub", dir + "/stub.exe", "--out", installer,
                       "sub/inner.txt=" + dir + "/data.txt", "top.txt=" + dir + "/data.txt"})
                  .exitCode,
              0);
    struct Case {
        const char* what;
        const char* link;   // below the target folder
        const char* points; // below dir
        const char* victim; // the file a followed link would write, below dir
    };
    const Case cases[] = {
        {"a folder link", "sub", "outside", "outside/inner.txt"},
        {"a file link", "top.txt", "outside/top.txt", "outside/top.txt"},
        {"a dangling file link", "top.txt", "outside/new.txt", "outside/new.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = dir + "/x";
        fs::remove_all(target);
        fs::remove_all(dir + "/outside");
        fs::create_directories(target);
        fs::create_directories(dir + "/outside");
        if (std::string(c.points) == "outside/top.txt") {
            WriteText(dir + "/outside/top.txt", "the publisher's own");
        }
        fs::create_symlink(dir + "/" + c.points, target + "/" + c.link);
        const std::string before = ReadText(dir + "/" + c.victim);
        const ToolRun run = RunTool({"extract", installer, target, "--quiet"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.out.find("a link on the way"), std::string::npos) << run.out;
        EXPECT_EQ(ReadText(dir + "/" + c.victim), before);
        EXPECT_TRUE(fs::is_symlink(target + "/" + c.link));
    }
}

// An installer of a few hundred bytes whose setup.ini holds `script`.
std::string PackScript(const std::string& dir, const std::string& script) {
    WriteText(dir + "/stub.exe", "stub");
    WriteText(dir + "/setup.ini", script);
    const std::string installer = dir + "/setup.exe";
    const ToolRun run = RunTool({"pack", "--stub", dir + "/stub.exe", "--out", installer,
                                 "setup.ini=" + dir + "/setup.ini"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return installer;
}

TEST(Bounds, InspectRefusesCountsAboveAPayloadWithoutWalkingThem) {
    ScratchDirectory scratch;
    for (const char* section : {"folders", "shell_folders", "shell_items", "reg", "svc"}) {
        for (const char* count : {"2000000000", "2147483647x", "65535"}) {
            SCOPED_TRACE(std::string(section) + " " + count);
            const std::string installer =
                PackScript(scratch.path(), "[main]\r\napptitle=A\r\n[" + std::string(section) +
                                               "]\r\ncount=" + count + "\r\n");
            EXPECT_LT(fs::file_size(installer), 400u);
            const ToolRun run = RunTool({"inspect", installer});
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_NE(run.err.find("[" + std::string(section) + "]"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("[bad-count]"), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
}

// 65,534 registry items of five keys each: a setup.ini of some 7 MB that,
// read afresh for each of its 327,670 values, would keep inspect busy for
// hours. Read once, it takes a moment.
TEST(Bounds, InspectReadsTheSetupScriptOnce) {
    ScratchDirectory scratch;
    std::string script = "[main]\r\napptitle=A\r\n[reg]\r\ncount=65534\r\n";
    for (int i = 0; i < 65534; ++i) {
        const std::string n = std::to_string(i);
        script += n + "_hkey=HKEY_CURRENT_USER\r\n" + n + "_key=Software\\A\\" + n + "\r\n" + n +
                  "_value=v\r\n" + n + "_type=REG_SZ\r\n" + n + "_std=d" + n + "\r\n";
    }
    const std::string installer = PackScript(scratch.path(), script);
    const ToolRun run = RunTool({"inspect", installer});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Registry (65534):"), std::string::npos);
    EXPECT_NE(run.out.find("HKEY_CURRENT_USER\\Software\\A\\65533  v  REG_SZ = d65533\n"),
              std::string::npos);
}

TEST(ReadingInstallers, InspectShowsControlCharactersOfTheScriptEscaped) {
    ScratchDirectory scratch;
    const std::string installer =
        PackScript(scratch.path(),
                   "[main]\r\napptitle=T\x1b[2J\r\n[folders]\r\ncount=1\r\n"
                   "1=%%INSTALLDIR%%a\x07\x7f\r\n[reg]\r\ncount=1\r\n0_hkey=HKEY_CURRENT_USER\r\n"
                   "0_key=S\x1b]0;x\x07\r\n0_value=n\r\n0_std=d\x08\r\n");
    const ToolRun run = RunTool({"inspect", installer});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(HasControlCharacter(run.out)) << run.out;
    for (const char* shown :
         {"T\\x1b[2J", "%%INSTALLDIR%%a\\x07\\x7f", "S\\x1b]0;x\\x07", "d\\x08"}) {
        EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
    }
    const ToolRun json = RunTool({"inspect", installer, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_FALSE(HasControlCharacter(json.out)) << json.out;
    EXPECT_NE(json.out.find("\"T\\u001b[2J\""), std::string::npos) << json.out;
}

// The staging folder exists while inspect reads a large setup.ini; the
// signal comes once it is seen. A run that ends before it is seen proves
// nothing and is repeated.
TEST(OutputFile, SignalsRemoveTheStagingFolderOfInspect) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    std::string script = "[main]\r\napptitle=A\r\n";
    for (int i = 0; i < 400000; ++i) {
        script += "; a comment that setup.exe skips, read for every setting\r\n";
    }
    const std::string installer = PackScript(dir, script);
    const std::string temporary = dir + "/tmp";
    fs::create_directories(temporary);
    const char* before = getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";
    setenv("TMPDIR", temporary.c_str(), 1);
    int caught = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        for (int attempt = 0; attempt < 5; ++attempt) {
            const pid_t tool = StartTool({"inspect", installer}, dir + "/inspected");
            bool seen = false;
            for (int polls = 0; !seen && polls < 200000; ++polls) {
                seen = !fs::is_empty(temporary);
                if (!seen && waitpid(tool, nullptr, WNOHANG) == tool) {
                    break;
                }
            }
            if (!seen) {
                WaitTool(tool, dir + "/inspected");
                continue;
            }
            kill(tool, signal);
            const ToolRun run = WaitTool(tool, dir + "/inspected");
            if (run.signal != signal) {
                continue; // it had finished already
            }
            ++caught;
            EXPECT_TRUE(fs::is_empty(temporary)) << fs::directory_iterator(temporary)->path();
            break;
        }
    }
    if (before != nullptr) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    if (caught == 0) {
        GTEST_SKIP() << "inspect ended each time before its staging folder was seen";
    }
}

TEST(ReadingInstallers, ControlCharactersOfNamesReachNoTerminal) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteText(dir + "/stub.exe", "stub");
    WriteText(dir + "/data.txt", "data");
    const std::string installer = dir + "/setup.exe";
    const std::string names[] = {"esc\x1b]0;title\x07.txt", "cr\rover.txt", "del\x7f.txt"};
    std::vector<std::string> arguments{"pack", "--stub", dir + "/stub.exe", "--out", installer};
    for (const std::string& name : names) {
        arguments.push_back(name + "=" + dir + "/data.txt");
    }
    ASSERT_EQ(RunTool(arguments).exitCode, 0);
    const ToolRun listed = RunTool({"list", installer});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_FALSE(HasControlCharacter(listed.out)) << listed.out;
    EXPECT_NE(listed.out.find("esc\\x1b]0;title\\x07.txt"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("cr\\x0dover.txt"), std::string::npos) << listed.out;
    const ToolRun extracted = RunTool({"extract", installer, dir + "/x", "--quiet"});
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_FALSE(HasControlCharacter(extracted.out)) << extracted.out;
    EXPECT_EQ(Lines(extracted.out).size(), 3u);
    EXPECT_EQ(ReadText(dir + "/x/" + names[1]), "data");
}

} // namespace

// An installation of some thousand small files in nested folders ended by
// force in the middle of its file step: whatever it left below the
// destination is named in uninstall.log (or lies where the uninstaller looks
// for what an ended installation leaves), the log holds only whole lines of
// its format, and uninstall.exe /quiet then removes the installation.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 3;
constexpr int kFilesPerFolder = 100; // 3,000 files

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

struct Layout {
    std::vector<std::string> folders; // relative, parents first
    std::vector<std::string> files;   // relative, in payload order
};

Layout MakeLayout() {
    Layout layout;
    for (int top = 0; top < kTopFolders; ++top) {
        std::string parent = "Bereich " + std::to_string(top);
        layout.folders.push_back(parent);
        for (int sub = 0; sub < kSubFolders; ++sub) {
            std::string folder = parent + "\\Teil " + std::to_string(sub);
            layout.folders.push_back(folder);
            for (int file = 0; file < kFilesPerFolder; ++file) {
                layout.files.push_back(folder + "\\datei " + std::to_string(file) + ".txt");
            }
        }
    }
    return layout;
}

// Every path below `folder`, relative to it; folders end in a backslash.
void Walk(const std::string& folder, const std::string& relative, std::vector<std::string>& found) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\" + relative + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            found.push_back(relative + name + "\\");
            Walk(folder, relative + name + "\\", found);
        } else {
            found.push_back(relative + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

class KilledInstallation : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory("kill");
        temp = work + "\\temp";
        CreateDirectoryA(temp.c_str(), nullptr);
        destination = work + "\\Ziel App";
        layout = MakeLayout();
        setup = BuildPayload();
    }
    void TearDown() override { RemoveTree(work); }

    std::string BuildPayload() {
        std::string ini = "[main]\r\napptitle=\r\ndestdir=" + destination +
                          "\r\n[folders]\r\ncount=" + std::to_string(layout.folders.size()) +
                          "\r\n";
        for (size_t i = 0; i < layout.folders.size(); ++i) {
            ini += std::to_string(i + 1) + "=%%INSTALLDIR%%" + layout.folders[i] + "\r\n";
        }
        ini += "[files]\r\n";
        for (size_t i = 0; i < layout.files.size(); ++i) {
            ini += std::to_string(i + 1) + "=%%INSTALLDIR%%" + layout.files[i] + "\r\n";
        }
        std::vector<PayloadEntry> entries = {{"setup.ini", ini, ""},
                                             {"uninstall.exe", "", TOLVANEX_UNINSTALL_EXE}};
        for (const PayloadEntry& support : SupportEntries()) {
            entries.push_back(support);
        }
        for (size_t i = 0; i < layout.files.size(); ++i) {
            entries.push_back({"file_" + std::to_string(i + 1), "Inhalt " + layout.files[i], ""});
        }
        std::string path = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(path, entries));
        return path;
    }

    // Installs until the log names file `files`, then ends setup.exe.
    void InstallAndKill(size_t files) {
        const std::string line =
            std::to_string(files) + "=" + destination + "\\" + layout.files[files - 1];
        RobotRun run = RunRobot("start ${SETUP}\n"
                                "wait-window Setup 101\nclick 1\n"
                                "wait-window Setup 117\nclick 1\n"
                                "wait-window Setup 120\ntimeout 150000\nclick 1\n"
                                "expect-file-line " +
                                    RobotWord(destination + "\\uninstall.log") + " " +
                                    RobotWord(line) + "\nterminate\n",
                                setup, temp);
        ASSERT_EQ(run.exitCode, 0) << run.transcript;
    }

    std::string work;
    std::string temp;
    std::string destination;
    Layout layout;
    std::string setup;
};

// Lines of the log's format: its header, section names, numbered entries and
// counts; the file ends with a line end.
void ExpectWholeLines(const std::string& log) {
    static const std::regex kLine(
        R"(; Tolvanex uninstall log|\[[a-z_]+\]|(count|appptitle|[0-9]+(_hkey|_key|_value)?)=.*|)");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without its end";
        std::string line = log.substr(start, end - start);
        EXPECT_TRUE(std::regex_match(line, kLine)) << line;
        start = end + 2;
    }
}

// The values of the log's [folders] and [files] entries, in lower case.
std::set<std::string> LoggedPaths(const std::string& log) {
    std::set<std::string> paths;
    std::string section;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        std::string line = log.substr(start, end - start);
        size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[') {
            section = line;
        } else if (equals != std::string::npos && line.compare(0, equals, "count") != 0 &&
                   (section == "[folders]" || section == "[files]")) {
            paths.insert(Lower(line.substr(equals + 1)));
        }
        start = end == std::string::npos ? log.size() : end + 2;
    }
    return paths;
}

TEST_F(KilledInstallation, LeavesALogOfEverythingItMadeAndIsRemovedByIt) {
    PrepareWineDisplay();
    // After a few files, about half of them and most of them.
    for (size_t files : {37u, 1411u, 2863u}) {
        SCOPED_TRACE("ended after file " + std::to_string(files));
        RemoveTree(destination);
        InstallAndKill(files);
        std::string log;
        ASSERT_TRUE(ReadWholeFile(destination + "\\uninstall.log", &log));
        ExpectWholeLines(log);
        const std::set<std::string> logged = LoggedPaths(log);
        std::vector<std::string> found;
        Walk(destination, "", found);
        EXPECT_GE(found.size(), files);
        for (const std::string& relative : found) {
            std::string path = destination + "\\" + relative;
            if (path.back() == '\\') {
                path.pop_back();
            }
            const std::string lower = Lower(relative);
            const bool transient = lower == "uninstall.log" || lower == "uninstall.exe" ||
                                   lower == "~tmp\\" || lower.rfind("~tmp\\file_", 0) == 0;
            EXPECT_TRUE(transient || logged.count(Lower(path)) == 1) << "not in the log: " << path;
        }

        RobotRun removal =
            RunRobot("start ${SETUP} /quiet\nwait-exit 0\n", destination + "\\uninstall.exe", temp);
        EXPECT_EQ(removal.exitCode, 0) << removal.transcript;
        // The uninstaller's copy removes the program and the folder after it ended.
        for (int wait = 0; wait < 100 && PathExists(destination); ++wait) {
            Sleep(200);
        }
        EXPECT_FALSE(PathExists(destination)) << "the installation stays";
    }
}

} // namespace

// The application files of a build script: globs matched against a tree,
// their targets, their order, and the folders the targets need.
#include "tools/builder/build_sources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/archive/archive_test_support.h"

namespace {

struct CollectCase {
    const char* pattern;
    const char* folder;
    std::vector<std::string> targets; // empty: nothing matches, an error
};

TEST(CollectSources, MatchesGlobsAndKeepsThePathsBelowThem) {
    ScratchDirectory tree;
    for (const char* file : {"bin/app.exe", "bin/App.dll", "bin/sub/x.txt", "bin/sub/deep/y.txt",
                             "doc/a.txt", "doc/b.md"}) {
        std::filesystem::create_directories(std::filesystem::path(tree.Join(file)).parent_path());
        ASSERT_TRUE(WriteFileBytes(tree.Join(file), Bytes{'x'})) << file;
    }
    const CollectCase kCases[] = {
        {"bin/app.exe", "%%INSTALLDIR%%", {"%%INSTALLDIR%%app.exe"}},
        {"bin\\app.exe", "%%INSTALLDIR%%", {"%%INSTALLDIR%%app.exe"}},
        {"bin/*.exe", "%%INSTALLDIR%%Bin", {"%%INSTALLDIR%%Bin\\app.exe"}},
        {"bin/?pp.*", "C:\\A\\", {"C:\\A\\App.dll", "C:\\A\\app.exe"}},
        {"bin/*.EXE", "%%INSTALLDIR%%", {}}, // wildcards match byte for byte
        {"bin",
         "%%INSTALLDIR%%",
         {"%%INSTALLDIR%%App.dll", "%%INSTALLDIR%%app.exe", "%%INSTALLDIR%%sub\\deep\\y.txt",
          "%%INSTALLDIR%%sub\\x.txt"}},
        {"bin/**/*.txt", "D/", {"D/sub\\deep\\y.txt", "D/sub\\x.txt"}},
        {"*/a.txt", "%%INSTALLDIR%%", {"%%INSTALLDIR%%a.txt"}},
        {"doc/*.pdf", "%%INSTALLDIR%%", {}},
        {"missing", "%%INSTALLDIR%%", {}},
    };
    for (const CollectCase& c : kCases) {
        SCOPED_TRACE(c.pattern);
        std::vector<SourceFile> files;
        std::string problem;
        // A limit far above the tree's few files.
        const bool found =
            CollectSources(tree.Join(""), c.pattern, c.folder, 7, 100, &files, &problem);
        EXPECT_EQ(found, !c.targets.empty()) << problem;
        std::vector<std::string> targets;
        for (const SourceFile& file : files) {
            targets.push_back(file.target);
            EXPECT_EQ(file.line, 7);
        }
        EXPECT_EQ(targets, c.targets);
        if (!found) {
            EXPECT_NE(problem.find("matches no file"), std::string::npos) << problem;
        }
    }
}

struct FolderCase {
    std::vector<std::string> listed;
    std::vector<std::string> targets;
    std::vector<std::string> folders;
};

TEST(PlanFolders, GivesEachFolderOnceAndParentsFirst) {
    const FolderCase kCases[] = {
        {{}, {"%%INSTALLDIR%%app.exe"}, {}},
        {{},
         {"%%INSTALLDIR%%a\\b\\c.txt", "%%INSTALLDIR%%A/B/d.txt"},
         {"%%INSTALLDIR%%a", "%%INSTALLDIR%%a\\b"}},
        {{"%%INSTALLDIR%%Daten"},
         {"%%INSTALLDIR%%x\\y.txt", "%%INSTALLDIR%%daten\\z.txt"},
         {"%%INSTALLDIR%%Daten", "%%INSTALLDIR%%x"}},
        {{"%%INSTALLDIR%%Logs\\"}, {}, {"%%INSTALLDIR%%Logs"}},
        {{}, {"C:\\Tools\\bin\\t.exe"}, {"C:\\Tools", "C:\\Tools\\bin"}},
    };
    for (const FolderCase& c : kCases) {
        SCOPED_TRACE(c.targets.empty() ? "" : c.targets[0]);
        EXPECT_EQ(PlanFolders(c.listed, c.targets), c.folders);
    }
}

} // namespace

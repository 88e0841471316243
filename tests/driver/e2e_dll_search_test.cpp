// setup.exe started from a folder that also holds a planted RICHED32.DLL: the
// system's library is loaded, the planted one never runs. The test runs with
// Wine told to prefer a library file over its own built-in one, so that the
// planted file would be taken if the program searched its own folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

TEST(DllSearch, APlantedRichEditLibraryBesideSetupIsNotLoaded) {
    std::string work = FreshWorkDirectory("dll-search");
    std::string temp = work + "\\temp";
    std::string folder = work + "\\downloads";
    CreateDirectoryA(temp.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string planted = folder + "\\RICHED32.DLL";
    std::string marker = planted + ".loaded";
    ASSERT_TRUE(CopyFileA(TOLVANEX_PLANTED_LIBRARY, planted.c_str(), FALSE));

    // The planted file does run when loaded.
    HMODULE loaded = LoadLibraryA(planted.c_str());
    ASSERT_NE(loaded, nullptr);
    FreeLibrary(loaded);
    ASSERT_TRUE(PathExists(marker)) << "the planted library left no marker";
    DeleteFileA(marker.c_str());

    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back(
        {"setup.ini", "[main]\r\napptitle=E2E DLL\r\n[dialogs]\r\nshow_license=1\r\n", ""});
    std::string setup = folder + "\\setup.exe";
    ASSERT_TRUE(BuildSetup(setup, entries));
    RobotRun run = RunRobot("start ${SETUP}\nwait-window Setup 101\nclick 1\n"
                            "wait-window Setup 107\nexpect-text-contains 301 \"Lizenzvertrag\"\n"
                            "click 2\nanswer-msgbox yes\nwait-exit 0\n",
                            setup, temp);
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_FALSE(PathExists(marker)) << "setup.exe loaded the planted library";
    RemoveTree(work);
}

} // namespace

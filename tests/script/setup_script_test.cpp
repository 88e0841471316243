#include "script/setup_script.h"

#include "script/ini_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A setup.ini of the given text in a fresh directory, removed afterwards.
class ScriptFile {
public:
    explicit ScriptFile(const std::string& text) {
        directory_ = std::filesystem::temp_directory_path() /
                     ("tolvanex-setup-script-" + std::to_string(++counter_));
        std::filesystem::create_directories(directory_);
        path_ = (directory_ / kSetupScriptFile).string();
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~ScriptFile() {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    const std::string& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path directory_;
    std::string path_;
};

SetupSettings Load(const std::string& path) {
    SetupSettings settings;
    std::memset(&settings, 'Z', sizeof(settings)); // every field must be written
    IniFile script;
    script.SetFile(path.c_str());
    LoadSetupSettings(script, &settings);
    return settings;
}

TEST(LoadSetupSettings, ReadsEveryFieldFromItsSection) {
    const ScriptFile file("[MAIN]\r\n"
                          "AppTitle = \"Tolvanex Demo\"\r\n"
                          "Version=  2.1  \r\n"
                          "publisher=Beispiel AG\r\n"
                          "URL=http://example.org/\r\n"
                          "DestDir=%%PROGRAMFILES%%Tolvanex\r\n"
                          "show_license=yes\r\n"
                          "[Dialogs]\r\n"
                          "SHOW_README=TRUE\r\n"
                          "show_userinfo=1\r\n"
                          "Done_Show_Readme=true\r\n"
                          "done_show_launch = 7\r\n"
                          "done_show_readme_path=%%INSTALLDIR%%liesmich.txt\r\n"
                          "done_show_launch_path=\"%%INSTALLDIR%%Demo.exe\"\r\n"
                          "apptitle=falscher Abschnitt\r\n");
    const SetupSettings settings = Load(file.Path());
    EXPECT_STREQ("Tolvanex Demo", settings.ApplicationTitle);
    EXPECT_STREQ("2.1", settings.ApplicationVersion);
    EXPECT_STREQ("Beispiel AG", settings.PublisherName);
    EXPECT_STREQ("http://example.org/", settings.PublisherUrl);
    EXPECT_STREQ("%%PROGRAMFILES%%Tolvanex", settings.DestinationDirectory);
    EXPECT_EQ(1, settings.ShowReadme);
    EXPECT_EQ(0, settings.ShowLicense); // written under [main]
    EXPECT_EQ(1, settings.ShowUserInfo);
    EXPECT_EQ(1, settings.DoneShowReadme);
    EXPECT_EQ(1, settings.DoneShowLaunch);
    EXPECT_STREQ("%%INSTALLDIR%%liesmich.txt", settings.DoneReadmePath);
    EXPECT_STREQ("%%INSTALLDIR%%Demo.exe", settings.DoneLaunchPath);
}

TEST(LoadSetupSettings, AcceptsTheBooleanSpellings) {
    const struct {
        const char* value;
        int expected;
    } cases[] = {
        {"yes", 1}, {"YES", 1},   {"True", 1}, {"TRUE", 1}, {"1", 1},       {"12", 1},
        {"no", 0},  {"false", 0}, {"0", 0},    {"ja", 0},   {"enabled", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        const ScriptFile file(std::string("[dialogs]\nshow_license=") + c.value + "\n");
        EXPECT_EQ(c.expected, Load(file.Path()).ShowLicense) << '"' << c.value << '"';
    }
}

TEST(LoadSetupSettings, GivesEmptyTextsAndFalseWithoutAScript) {
    for (const char* text : {"", "[main]\napptitle=\n[dialogs]\nshow_readme=\n"}) {
        const ScriptFile file(text);
        const std::string paths[] = {file.Path(), file.Path() + ".fehlt"};
        for (const std::string& path : paths) {
            const SetupSettings settings = Load(path);
            EXPECT_STREQ("", settings.ApplicationTitle);
            EXPECT_STREQ("", settings.ApplicationVersion);
            EXPECT_STREQ("", settings.PublisherName);
            EXPECT_STREQ("", settings.PublisherUrl);
            EXPECT_STREQ("", settings.DestinationDirectory);
            EXPECT_STREQ("", settings.DoneReadmePath);
            EXPECT_STREQ("", settings.DoneLaunchPath);
            EXPECT_EQ(0, settings.ShowReadme | settings.ShowLicense | settings.ShowUserInfo |
                             settings.DoneShowReadme | settings.DoneShowLaunch);
        }
    }
}

TEST(LoadSetupSettings, CutsValuesToTheirFields) {
    const std::string longValue(400, 'v');
    const ScriptFile file("[main]\napptitle=" + longValue + "\ndestdir=" + longValue +
                          "\n[dialogs]\ndone_show_launch_path=" + longValue + "\n");
    const SetupSettings settings = Load(file.Path());
    EXPECT_EQ(std::string(kTextSize - 1, 'v'), settings.ApplicationTitle);
    EXPECT_EQ(std::string(kPathSize - 1, 'v'), settings.DestinationDirectory);
    EXPECT_EQ(std::string(kPathSize - 1, 'v'), settings.DoneLaunchPath);
}

TEST(FormatListKey, PutsTheIndexInPlaceOfTheMarker) {
    const struct {
        const char* format;
        int index;
        const char* expected;
    } cases[] = {
        {kShortcutTargetKey, 0, "0_dest"},
        {kRegistryRootKey, 7, "7_hkey"},
        {kServiceErrorControlKey, 12, "12_errortype"},
    };
    for (const auto& c : cases) {
        char key[kListKeySize];
        FormatListKey(c.format, c.index, key);
        EXPECT_STREQ(c.expected, key);
    }
}

} // namespace

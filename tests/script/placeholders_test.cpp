#include "script/placeholders.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct Deleter {
    void operator()(char* text) const { delete[] text; }
};

std::string Expand(const char* text) {
    std::unique_ptr<char[], Deleter> expanded(ExpandPlaceholders(text));
    return expanded ? expanded.get() : "<null>";
}

// The folders the tokens stand for, fetched independently of the code under
// test; other platforms than Windows name none.
#ifdef _WIN32
std::string WithBackslash(const char* path) {
    return path[0] != '\0' ? std::string(path) + "\\" : std::string();
}

std::string KnownFolder(REFKNOWNFOLDERID folder) {
    PWSTR wide = nullptr;
    char path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetKnownFolderPath(folder, 0, nullptr, &wide))) {
        WideCharToMultiByte(CP_ACP, 0, wide, -1, path, MAX_PATH, nullptr, nullptr);
    }
    CoTaskMemFree(wide);
    return WithBackslash(path);
}

std::string DesktopFolder() {
    return KnownFolder(FOLDERID_Desktop);
}
std::string ProgramsFolder() {
    return KnownFolder(FOLDERID_Programs);
}
std::string WindowsFolder() {
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return WithBackslash(path);
}
std::string SystemFolder() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return WithBackslash(path);
}
#else
std::string DesktopFolder() {
    return "";
}
std::string ProgramsFolder() {
    return "";
}
std::string WindowsFolder() {
    return "";
}
std::string SystemFolder() {
    return "";
}
#endif

TEST(ReplaceAll, ReturnsTheTextItselfWhenNothingMatches) {
    const char text[] = "C:\\Programme\\Tolvanex";
    EXPECT_EQ(text, ReplaceAll(text, "%%INSTALLDIR%%", "D:\\"));
    EXPECT_EQ(text, ReplaceAll(text, "tolvanex", "X")); // case-sensitive
    EXPECT_EQ(text, ReplaceAll(text, "", "X"));
    EXPECT_EQ(text, ReplaceAll(text, "C:\\Programme\\Tolvanex!", "X")); // longer than the text
}

TEST(ReplaceAll, ReplacesEveryOccurrenceOnce) {
    const struct {
        const char* text;
        const char* find;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"file_12", "file_", "", "12"},
        {"profile_a.txt", "file_", "", "proa.txt"},
        {"a%%X%%b%%X%%", "%%X%%", "1", "a1b1"},
        {"aaa", "a", "aa", "aaaaaa"}, // the inserted text is not searched again
        {"ababa", "aba", "X", "Xba"}, // matches do not overlap
        {"abc", "abc", "", ""},
        {"%%INSTALLDIR%%readme.txt", "%%INSTALLDIR%%", "C:\\App\\", "C:\\App\\readme.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.expected, ReplaceAll(c.text, c.find, c.replacement)) << c.text;
    }
}

TEST(ReplaceAll, CutsAResultBeyondItsBuffer) {
    const std::string text(3000, 'a');
    const char* result = ReplaceAll(text.c_str(), "a", "bb");
    EXPECT_EQ(4095u, std::strlen(result));
    EXPECT_EQ(std::string(4095, 'b'), result);

    const std::string tail = std::string(4090, 'x') + "%%TOKEN%%rest";
    EXPECT_EQ(std::string(4090, 'x') + "01234",
              ReplaceAll(tail.c_str(), "%%TOKEN%%", "0123456789"));
}

class ExpandPlaceholdersTest : public testing::Test {
protected:
    void SetUp() override {
        Use("C:\\Programme\\", "D:\\Ziel\\", "Erika Mustermann", "Beispiel AG");
    }
    void TearDown() override { SetPlaceholderValues({}); }

    void Use(const char* programFiles, const char* destination, const char* user,
             const char* company) {
        programFiles_ = programFiles;
        destination_ = destination;
        user_ = user;
        company_ = company;
        SetPlaceholderValues(
            {programFiles_.c_str(), destination_.c_str(), user_.c_str(), company_.c_str()});
    }

    std::string programFiles_, destination_, user_, company_;
};

TEST_F(ExpandPlaceholdersTest, ReplacesEveryToken) {
#ifdef _WIN32
    for (const std::string& folder :
         {DesktopFolder(), ProgramsFolder(), WindowsFolder(), SystemFolder()}) {
        ASSERT_FALSE(folder.empty());
    }
#endif
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"%%DESKTOP%%Tolvanex.lnk", DesktopFolder() + "Tolvanex.lnk"},
        {"%%PROGRAMS%%Tolvanex\\", ProgramsFolder() + "Tolvanex\\"},
        {"%%PROGRAMFILES%%Tolvanex", "C:\\Programme\\Tolvanex"},
        {"%%INSTALLDIR%%bin", "D:\\Ziel\\bin"},
        {"Nutzer: %%USER%%", "Nutzer: Erika Mustermann"},
        {"%%COMPANY%%", "Beispiel AG"},
        {"%%WINDIR%%notepad.exe", WindowsFolder() + "notepad.exe"},
        {"%%WINSYSDIR%%drivers", SystemFolder() + "drivers"},
        {"%%INSTALLDIR%%a;%%INSTALLDIR%%b", "D:\\Ziel\\a;D:\\Ziel\\b"},
        {"%%USER%%/%%COMPANY%%/%%PROGRAMFILES%%", "Erika Mustermann/Beispiel AG/C:\\Programme\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, Expand(c.text)) << c.text;
    }
}

TEST_F(ExpandPlaceholdersTest, LeavesOtherTextAlone) {
    for (const char* text : {"%PROGRAMFILES%Tolvanex", "%%programfiles%%Tolvanex",
                             "%%ProgramFiles%%", "%%PROGRAMFILES%", "100% sicher", ""}) {
        EXPECT_EQ(text, Expand(text));
    }
}

TEST_F(ExpandPlaceholdersTest, ReturnsANewCopy) {
    const char text[] = "C:\\Tolvanex";
    std::unique_ptr<char[], Deleter> expanded(ExpandPlaceholders(text));
    ASSERT_NE(nullptr, expanded);
    EXPECT_NE(text, expanded.get());
    EXPECT_STREQ(text, expanded.get());
}

// Tokens are replaced one after another on the growing text: a value is
// searched for the tokens after its own, not for those before it.
TEST_F(ExpandPlaceholdersTest, ExpandsValuesOnlyForLaterTokens) {
    const struct {
        const char* programFiles;
        const char* destination;
        const char* user;
        const char* company;
        const char* text;
        std::string expected;
    } cases[] = {
        {"", "", "a%%WINDIR%%b", "", "%%USER%%", "a" + WindowsFolder() + "b"},
        {"", "", "%%COMPANY%%", "Beispiel AG", "%%USER%%", "Beispiel AG"},
        {"%%INSTALLDIR%%", "D:\\Ziel\\", "", "", "%%PROGRAMFILES%%x", "D:\\Ziel\\x"},
        {"", "%%PROGRAMFILES%%", "", "", "%%INSTALLDIR%%x", "%%PROGRAMFILES%%x"},
        {"", "", "%%INSTALLDIR%%", "", "%%USER%%", "%%INSTALLDIR%%"},
        {"", "", "%%DESKTOP%%", "%%USER%%", "%%COMPANY%%", "%%USER%%"},
    };
    for (const auto& c : cases) {
        Use(c.programFiles, c.destination, c.user, c.company);
        EXPECT_EQ(c.expected, Expand(c.text)) << c.text << " with user " << c.user;
    }
}

TEST_F(ExpandPlaceholdersTest, ReadsTheValuesAnewOnEveryCall) {
    char user[255] = "";
    SetPlaceholderValues({nullptr, nullptr, user, nullptr});
    EXPECT_EQ("[]", Expand("[%%USER%%]"));
    std::strcpy(user, "Max");
    EXPECT_EQ("[Max]", Expand("[%%USER%%]"));
    EXPECT_EQ("[]", Expand("[%%PROGRAMFILES%%%%INSTALLDIR%%%%COMPANY%%]"));
}

TEST_F(ExpandPlaceholdersTest, CutsTextsBeyond259Characters) {
    const std::string longText(400, 'x');
    EXPECT_EQ(std::string(259, 'x'), Expand(longText.c_str()));

    const std::string destination = "D:\\" + std::string(200, 'd') + "\\";
    Use("", destination.c_str(), std::string(254, 'u').c_str(), "Beispiel AG");
    EXPECT_EQ((destination + destination).substr(0, 259), Expand("%%INSTALLDIR%%%%INSTALLDIR%%"));
    // A token cut in half by an earlier cut stays unexpanded text.
    EXPECT_EQ(std::string(254, 'u') + "%%COM", Expand("%%USER%%%%COMPANY%%"));
}

} // namespace

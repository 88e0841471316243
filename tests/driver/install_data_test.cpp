#include "driver/install_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(PayloadEntries, ApplicationFilesAreNamedWithFileUnderscoreAnywhere) {
    struct Case {
        const char* name;
        bool application;
        bool uninstaller;
    } cases[] = {
        {"file_1", true, false},         {"file_11", true, false},
        {"profile_a.txt", true, false},  {"docs\\file_x", true, false},
        {"File_1", false, false},        {"file1", false, false},
        {"setup.ini", false, false},     {"uninstall.exe", false, true},
        {"Uninstall.exe", false, false}, {"uninstall.exe.bak", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsApplicationEntry(c.name), c.application) << c.name;
        EXPECT_EQ(IsUninstallerEntry(c.name), c.uninstaller) << c.name;
    }
}

std::vector<unsigned char> Encode(uint32_t type, const char* text) {
    unsigned char data[64];
    std::memset(data, 0xAA, sizeof data);
    int32_t size = EncodeRegistryData(type, text, data, sizeof data);
    EXPECT_GE(size, 0) << text;
    EXPECT_EQ(data[size < 0 ? 0 : size], 0xAA) << "wrote beyond its data: " << text;
    return std::vector<unsigned char>(data, data + (size < 0 ? 0 : size));
}

using Bytes = std::vector<unsigned char>;

TEST(RegistryData, DwordIsAFourByteLittleEndianNumber) {
    struct Case {
        const char* text;
        uint32_t number;
    } cases[] = {
        {"1", 1},
        {"0", 0},
        {"4096", 4096},
        {"0x10", 16},
        {"0XfF", 255},
        {"  42", 42},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"0x", 0},
        {"-1", 0xFFFFFFFFu},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},
        {"99999999999999999999", 0xFFFFFFFFu},
        {"0x1234ABCD", 0x1234ABCDu},
        {"0x100000000", 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRegistryNumber(c.text), c.number) << c.text;
        Bytes expected = {
            static_cast<unsigned char>(c.number), static_cast<unsigned char>(c.number >> 8),
            static_cast<unsigned char>(c.number >> 16), static_cast<unsigned char>(c.number >> 24)};
        EXPECT_EQ(Encode(4, c.text), expected) << c.text;
    }
}

TEST(RegistryData, StringsKeepTheirZeroOtherTypesTheirCharacters) {
    EXPECT_EQ(Encode(1, "ab"), (Bytes{'a', 'b', 0}));
    EXPECT_EQ(Encode(2, "%P%"), (Bytes{'%', 'P', '%', 0}));
    EXPECT_EQ(Encode(1, ""), (Bytes{0}));
    EXPECT_EQ(Encode(3, "01"), (Bytes{'0', '1'}));
    EXPECT_EQ(Encode(0, "x"), (Bytes{'x'}));
    EXPECT_EQ(Encode(3, ""), Bytes{});
}

TEST(RegistryData, RefusesDataLargerThanItsBuffer) {
    unsigned char data[4] = {9, 9, 9, 9};
    EXPECT_EQ(EncodeRegistryData(1, "abcd", data, 4), -1);
    EXPECT_EQ(EncodeRegistryData(3, "abcd", data, 4), 4);
    EXPECT_EQ(EncodeRegistryData(4, "1", data, 3), -1);
    unsigned char exact[5];
    EXPECT_EQ(EncodeRegistryData(1, "abcd", exact, 5), 5);
}

TEST(DotNetCommandLine, QuotesTheInstallerPath) {
    char line[360];
    ASSERT_TRUE(FormatDotNetCommandLine("C:\\Users\\A B\\Temp\\~AB12.tmp\\dotnetfx.exe", line,
                                        sizeof line));
    EXPECT_STREQ(line,
                 "\"C:\\Users\\A B\\Temp\\~AB12.tmp\\dotnetfx.exe\" /q:a /c:\"install /l /q\"");
}

TEST(DotNetCommandLine, RefusesALineThatDoesNotFit) {
    char line[32];
    std::memset(line, 'x', sizeof line);
    EXPECT_FALSE(FormatDotNetCommandLine("C:\\temp\\dotnetfx.exe", line, sizeof line));
    EXPECT_STREQ(line, "");
    char exact[sizeof("\"a\" /q:a /c:\"install /l /q\"")];
    EXPECT_TRUE(FormatDotNetCommandLine("a", exact, sizeof exact));
}

} // namespace

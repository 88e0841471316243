// IniFile through the profile service of the build: the platform's own on
// Windows (run under Wine), the profile-file module elsewhere.
#include "script/ini_file.h"

#include "profile_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kCanary = '\x7f';

class IniFileTest : public ::testing::Test {
protected:
    // Binds ini to a fresh file holding content (none: no file).
    void Bind(const std::string& content) { ini.SetFile(files.Create(Name(), content).c_str()); }
    void BindMissing() { ini.SetFile(files.Path(Name()).c_str()); }

    std::string Stored(const char* section, const char* key) {
        char* value = ini.ReadValue(section, key, "<absent>");
        std::string text = value;
        delete[] value;
        return text;
    }

    std::string FileText() { return files.Contents("test" + std::to_string(number_) + ".ini"); }

    ProfileTestFiles files;
    IniFile ini;

private:
    // Every binding gets a new name: the platform caches files by name.
    std::string Name() { return "test" + std::to_string(++number_) + ".ini"; }
    int number_ = 0;
};

std::string ListText(const char* list, size_t size) {
    std::string text(list, size);
    for (char& c : text) {
        c = c == '\0' ? '|' : c;
    }
    return text;
}

// --- Typed values -----------------------------------------------------------

struct IntCase {
    const char* stored;
    int radix;
    int32_t expected;
};

TEST_F(IniFileTest, ReadIntConvertsLikeStrtoulInTheNormalizedRadix) {
    const IntCase cases[] = {
        {"12abc", 10, 12},
        {"abc", 10, 0},
        {"-1", 10, -1},
        {"4294967291", 10, -5},
        {"-5", 10, -5},
        {"4294967296", 10, -1},
        {"99999999999999", 10, -1},
        {"+7", 10, 7},
        {"0x1F", 16, 31},
        {"1f", 16, 31},
        {"0X1f", 16, 31},
        {"0x", 16, 0},
        {"12", 3, 12},
        {"12", 0, 12},
        {"0x10", 10, 0},
        {"17", 8, 15},
        {"8", 8, 0},
        {"101", 2, 5},
        {"-0x10", 16, -16},
        {"FFFFFFFF", 16, -1},
        {"1FFFFFFFF", 16, -1},
    };
    std::string content = "[n]\r\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        content += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    }
    Bind(content);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string key = "k" + std::to_string(i);
        EXPECT_EQ(cases[i].expected, ini.ReadInt("n", key.c_str(), 77, cases[i].radix))
            << cases[i].stored << " radix " << cases[i].radix;
    }
}

TEST_F(IniFileTest, TypedReadsGiveTheDefaultOnlyForEmptyOrAbsentValues) {
    Bind("[n]\r\nempty=\r\nword=abc\r\n");
    EXPECT_EQ(77, ini.ReadInt("n", "empty", 77, 10));
    EXPECT_EQ(77, ini.ReadInt("n", "absent", 77, 10));
    EXPECT_EQ(77, ini.ReadInt("absent", "absent", 77, 10));
    EXPECT_EQ(0, ini.ReadInt("n", "word", 77, 10));
    EXPECT_EQ(9u, ini.ReadUInt("n", "empty", 9u, 10));
    EXPECT_EQ(1.5, ini.ReadDouble("n", "empty", 1.5));
    EXPECT_EQ(0.0, ini.ReadDouble("n", "word", 1.5));
    EXPECT_EQ('d', ini.ReadChar("n", "empty", 'd'));
    EXPECT_EQ('a', ini.ReadChar("n", "word", 'd'));
    EXPECT_EQ(77, ini.ReadInt(nullptr, "word", 77, 10));
    EXPECT_EQ(77, ini.ReadInt("n", nullptr, 77, 10));
}

TEST_F(IniFileTest, TypedReadsSeeTheFirst64Bytes) {
    std::string fits = std::string(62, '0') + "12";
    std::string beyond = std::string(63, '0') + "12";
    Bind("[n]\r\nfits=" + fits + "\r\nbeyond=" + beyond + "\r\n");
    EXPECT_EQ(12, ini.ReadInt("n", "fits", 5, 10));
    EXPECT_EQ(1, ini.ReadInt("n", "beyond", 5, 10));
}

struct BoolCase {
    const char* stored;
    int expected;
};

TEST_F(IniFileTest, ReadBoolAcceptsTrueYesAndNonZeroNumbers) {
    const BoolCase cases[] = {
        {"true", 1}, {"TRUE", 1}, {"Yes", 1},  {"1", 1},   {"-1", 1},
        {"2", 1},    {"7", 1},    {"5abc", 1}, {"0", 0},   {"false", 0},
        {"no", 0},   {"on", 0},   {"off", 0},  {"abc", 0}, {"yes please", 0},
    };
    std::string content = "[b]\r\nempty=\r\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        content += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    }
    Bind(content);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string key = "k" + std::to_string(i);
        EXPECT_EQ(cases[i].expected, ini.ReadBool("b", key.c_str(), 5)) << cases[i].stored;
    }
    EXPECT_EQ(5, ini.ReadBool("b", "empty", 5));
    EXPECT_EQ(-3, ini.ReadBool("b", "absent", -3));
}

struct WriteIntCase {
    int32_t value;
    int radix;
    const char* expected;
};

TEST_F(IniFileTest, WriteIntFormatsInTheRadix) {
    const WriteIntCase cases[] = {
        {-1, 10, "-1"},  {-1, 16, "FFFFFFFF"}, {-1, 2, "11111111111111111111111111111111"},
        {255, 8, "377"}, {255, 16, "FF"},      {0, 2, "0"},
        {5, 2, "101"},   {-7, 7, "-7"},        {-2147483647 - 1, 10, "-2147483648"},
    };
    BindMissing();
    for (const WriteIntCase& c : cases) {
        ASSERT_NE(0, ini.WriteInt("w", "k", c.value, c.radix));
        EXPECT_EQ(c.expected, Stored("w", "k")) << c.value << " radix " << c.radix;
    }
    ASSERT_NE(0, ini.WriteUInt("w", "k", static_cast<uint32_t>(-1), 10));
    EXPECT_EQ("4294967295", Stored("w", "k"));
}

TEST_F(IniFileTest, WriteDoubleUsesSixOrTheGivenDecimalsAndRefusesLongTexts) {
    BindMissing();
    ASSERT_NE(0, ini.WriteDouble("d", "k", 2.5, 0));
    EXPECT_EQ("2.500000", Stored("d", "k"));
    ASSERT_NE(0, ini.WriteDouble("d", "k", 2.5, 2));
    EXPECT_EQ("2.50", Stored("d", "k"));
    ASSERT_NE(0, ini.WriteDouble("d", "k", -0.125, -4));
    EXPECT_EQ("-0.125000", Stored("d", "k"));
    EXPECT_EQ(-0.125, ini.ReadDouble("d", "k", 9.0));
    // 1e300 with six decimals is over 300 characters: refused, value kept.
    EXPECT_EQ(0, ini.WriteDouble("d", "k", 1e300, 0));
    EXPECT_EQ(0, ini.WriteDouble("d", "k", 1.0, 80));
    EXPECT_EQ("-0.125000", Stored("d", "k"));
}

TEST_F(IniFileTest, AddAndToggleReadModifyAndWrite) {
    Bind("[a]\r\nten=10\r\nhex=FF\r\nhalf=1.5\r\nempty=\r\n");
    ASSERT_NE(0, ini.AddInt("a", "ten", -3, 10));
    EXPECT_EQ("7", Stored("a", "ten"));
    ASSERT_NE(0, ini.AddInt("a", "hex", 1, 16));
    EXPECT_EQ("100", Stored("a", "hex"));
    ASSERT_NE(0, ini.AddInt("a", "new", 5, 10));
    EXPECT_EQ("5", Stored("a", "new"));
    ASSERT_NE(0, ini.AddUInt("a", "ten", 0xFFFFFFFFu, 10));
    EXPECT_EQ("6", Stored("a", "ten"));
    ASSERT_NE(0, ini.AddDouble("a", "half", 1.0, 0));
    EXPECT_EQ("2.500000", Stored("a", "half"));
    ASSERT_NE(0, ini.ToggleBool("a", "empty"));
    EXPECT_EQ("1", Stored("a", "empty"));
    ASSERT_NE(0, ini.ToggleBool("a", "empty"));
    EXPECT_EQ("0", Stored("a", "empty"));
    ASSERT_NE(0, ini.WriteBool("a", "flag", -9));
    EXPECT_EQ("1", Stored("a", "flag"));
}

TEST_F(IniFileTest, CharactersAreOneByteValues) {
    BindMissing();
    ASSERT_NE(0, ini.WriteChar("c", "k", 'q'));
    EXPECT_EQ("q", Stored("c", "k"));
    EXPECT_EQ('q', ini.ReadChar("c", "k", 'd'));
    ASSERT_NE(0, ini.WriteChar("c", "k", '\0'));
    EXPECT_EQ("", Stored("c", "k"));
    EXPECT_EQ(1, ini.KeyExists("c", "k"));
}

TEST_F(IniFileTest, BinaryValuesAreUpperCaseHexInMemoryOrder) {
    BindMissing();
    const unsigned char bytes[] = {0x01, 0xAB};
    ASSERT_NE(0, ini.WriteBinary("b", "k", bytes, sizeof bytes));
    EXPECT_EQ("01AB", Stored("b", "k"));
    ASSERT_NE(0, ini.AppendBinary("b", "k", bytes, 1));
    EXPECT_EQ("01AB01", Stored("b", "k"));
    EXPECT_EQ(0, ini.WriteBinary("b", "k", nullptr, 4));
}

struct BinaryCase {
    const char* stored;
    uint32_t size;
    uint32_t offset;
    uint32_t expected;
    const char* bytes;
};

TEST_F(IniFileTest, ReadBinaryDecodesFromTheOffset) {
    const BinaryCase cases[] = {
        {"01ab", 8, 1, 1, "\xab"}, {"01ab", 8, 0, 2, "\x01\xab"},
        {"01 ab", 8, 0, 0, ""},    {"01AB0", 8, 0, 2, "\x01\xab"},
        {"01ab", 8, 2, 0, ""},     {"0102030405", 2, 1, 2, "\x02\x03"},
        {"0g", 8, 0, 0, ""},       {"", 8, 0, 0, ""},
    };
    std::string content = "[b]\r\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        content += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    }
    Bind(content);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string key = "k" + std::to_string(i);
        unsigned char buffer[16];
        std::memset(buffer, kCanary, sizeof buffer);
        uint32_t count = ini.ReadBinary("b", key.c_str(), buffer, cases[i].size, cases[i].offset);
        EXPECT_EQ(cases[i].expected, count) << cases[i].stored;
        EXPECT_EQ(0, std::memcmp(buffer, cases[i].bytes, cases[i].expected)) << cases[i].stored;
        EXPECT_EQ(kCanary, static_cast<char>(buffer[cases[i].size])) << cases[i].stored;
    }
    EXPECT_EQ(4u, ini.ReadBinary("b", "k5", nullptr, 0, 1));
}

TEST_F(IniFileTest, RecordsRoundTripAndFallBackToTheirDefault) {
    Bind("[r]\r\nshort=010203040506070\r\nlong=000102030405060708\r\n");
    Record8 record8 = {{0x11223344u, 0xAABBCCDDu}};
    ASSERT_NE(0, ini.WriteRecord8("r", "eight", record8));
    Record8 read8 = ini.ReadRecord8("r", "eight", Record8{{1, 2}});
    EXPECT_EQ(0, std::memcmp(&record8, &read8, sizeof record8));
    EXPECT_EQ(16u, Stored("r", "eight").size());

    Record16 record16 = {{1u, 0xFFFFFFFFu, 3u, 0x80000000u}};
    ASSERT_NE(0, ini.WriteRecord16("r", "sixteen", record16));
    Record16 read16 = ini.ReadRecord16("r", "sixteen", Record16{});
    EXPECT_EQ(0, std::memcmp(&record16, &read16, sizeof record16));

    Record8 fallback = ini.ReadRecord8("r", "short", Record8{{7, 8}});
    EXPECT_EQ(7u, fallback.words[0]);
    EXPECT_EQ(8u, fallback.words[1]);
    Record8 first = ini.ReadRecord8("r", "long", Record8{{7, 8}});
    const unsigned char expected[] = {0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(0, std::memcmp(&first, expected, sizeof expected));
    Record16 absent = ini.ReadRecord16("r", "absent", Record16{{9, 9, 9, 9}});
    EXPECT_EQ(9u, absent.words[3]);
}

// --- Strings -----------------------------------------------------------------

TEST_F(IniFileTest, ReadStringCutsToTheBufferAndReportsTheLength) {
    std::string value(600, 'v');
    Bind("[s]\r\nlong=" + value + "\r\nempty=\r\n");
    std::vector<char> buffer(120, kCanary);
    EXPECT_EQ(100, ini.ReadString("s", "long", buffer.data(), 100));
    EXPECT_EQ(std::string(99, 'v'), std::string(buffer.data()));
    EXPECT_EQ(kCanary, buffer[100]);
    EXPECT_EQ(600, ini.ReadString("s", "long", nullptr, 0));

    EXPECT_EQ(0, ini.ReadString("s", "empty", buffer.data(), 100, "fallback"));
    EXPECT_STREQ("", buffer.data());
    EXPECT_EQ(8, ini.ReadString("s", "absent", buffer.data(), 100, "fallback"));
    EXPECT_STREQ("fallback", buffer.data());
    EXPECT_EQ(0, ini.ReadString("s", "absent", buffer.data(), 100));
    EXPECT_STREQ("", buffer.data());
}

TEST_F(IniFileTest, ReadStringFillsTheRestOfAShortValuesBufferWithNul) {
    Bind("[s]\r\nk=abc\r\n");
    char buffer[8];
    std::memset(buffer, kCanary, sizeof buffer);
    EXPECT_EQ(3, ini.ReadString("s", "k", buffer, 6));
    EXPECT_EQ(0, std::memcmp(buffer, "abc\0\0\0", 6));
    EXPECT_EQ(kCanary, buffer[6]);
    EXPECT_EQ(3, ini.ReadString("s", "k", buffer, 3));
    EXPECT_STREQ("ab", buffer);
}

TEST_F(IniFileTest, WriteStringKeepsAKeyWithANullValue) {
    BindMissing();
    ASSERT_NE(0, ini.WriteString("s", "k", "x"));
    ASSERT_NE(0, ini.WriteString("s", "k", nullptr));
    EXPECT_EQ(1, ini.KeyExists("s", "k"));
    EXPECT_EQ("", Stored("s", "k"));
    EXPECT_NE(std::string::npos, FileText().find("k=\r\n"));
}

TEST_F(IniFileTest, NullNamesAndUnboundObjectsNeverTouchAFile) {
    BindMissing();
    EXPECT_EQ(0, ini.WriteString(nullptr, "k", "v"));
    EXPECT_EQ(0, ini.WriteString("s", nullptr, "v"));
    EXPECT_EQ(0, ini.DeleteKey("s", nullptr));
    EXPECT_EQ(0, ini.DeleteSection(nullptr));
    EXPECT_EQ(0, ini.AppendString("s", "k", nullptr));
    EXPECT_EQ("", FileText());

    IniFile unbound;
    char buffer[16] = "junk";
    EXPECT_EQ(4, unbound.ReadString("s", "k", buffer, sizeof buffer, "dflt"));
    EXPECT_STREQ("dflt", buffer);
    EXPECT_EQ(0, unbound.WriteString("s", "k", "v"));
    EXPECT_EQ(0, unbound.ReadSectionNames(buffer, sizeof buffer));
    EXPECT_EQ(0, unbound.GetFile(buffer, sizeof buffer));
}

TEST_F(IniFileTest, AppendStringJoinsToTheCurrentValue) {
    Bind("[s]\r\nk=ab\r\n");
    ASSERT_NE(0, ini.AppendString("s", "k", "cd"));
    EXPECT_EQ("abcd", Stored("s", "k"));
    ASSERT_NE(0, ini.AppendString("s", "new", "x"));
    EXPECT_EQ("x", Stored("s", "new"));
}

TEST_F(IniFileTest, SetFileAndGetFileKeepTheirOwnCopy) {
    std::string path = files.Path("bound.ini");
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    IniFile bound(name.data());
    name[0] = 'X';
    char buffer[512];
    EXPECT_EQ(static_cast<int>(path.size()), bound.GetFile(buffer, sizeof buffer));
    EXPECT_EQ(path, buffer);
    EXPECT_EQ(static_cast<int>(path.size()), bound.GetFile(nullptr, 0));
    EXPECT_EQ(4, bound.GetFile(buffer, 5));
    bound.SetFile(nullptr);
    EXPECT_EQ(0, bound.GetFile(buffer, sizeof buffer));
    EXPECT_EQ(0, bound.WriteString("s", "k", "v"));
}

// --- Growth of long values --------------------------------------------------

TEST_F(IniFileTest, ReadValueReturnsValuesOfAnyLengthWhole) {
    const size_t lengths[] = {0, 1, 509, 510, 511, 512, 513, 1023, 1024, 1025, 5000};
    std::string content = "[v]\r\n";
    for (size_t length : lengths) {
        content += "k" + std::to_string(length) + "=" + std::string(length, 'x') + "\r\n";
    }
    Bind(content);
    for (size_t length : lengths) {
        std::string key = "k" + std::to_string(length);
        EXPECT_EQ(length, Stored("v", key.c_str()).size());
        EXPECT_EQ(static_cast<int32_t>(length), ini.ReadString("v", key.c_str(), nullptr, 0));
    }
}

// --- Lists --------------------------------------------------------------------

TEST_F(IniFileTest, ReadListSplitsTheWholeValue) {
    std::string many;
    for (int i = 0; i < 200; ++i) {
        many += "item" + std::to_string(i) + " , ";
    }
    Bind("[l]\r\nxyz=x, y,,z\r\nmany=" + many + "\r\nempty=\r\n");
    char buffer[4096];
    EXPECT_EQ(6, ini.ReadList("l", "xyz", buffer, sizeof buffer, nullptr, 1));
    EXPECT_EQ("x|y|z||", ListText(buffer, 7));
    EXPECT_EQ(7, ini.ReadList("l", "xyz", nullptr, 0, nullptr, 0));
    EXPECT_EQ(6, ini.ReadList("l", "xyz", nullptr, 0, nullptr, 1));

    int needed = ini.ReadList("l", "many", nullptr, 0, ",", 1);
    std::vector<char> exact(needed + 1, kCanary);
    EXPECT_EQ(needed, ini.ReadList("l", "many", exact.data(), needed + 1, ",", 1));
    EXPECT_STREQ("item199", exact.data() + needed - 8);
    EXPECT_EQ('\0', exact[needed]);

    buffer[0] = 'j';
    EXPECT_EQ(0, ini.ReadList("l", "empty", buffer, sizeof buffer, nullptr, 1));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(0, ini.ReadList("l", "absent", buffer, sizeof buffer, nullptr, 1));
    EXPECT_EQ(0, ini.ReadList(nullptr, "xyz", buffer, sizeof buffer, nullptr, 1));
}

// --- Enumeration --------------------------------------------------------------

TEST_F(IniFileTest, SectionsAndKeysAreListedInFileOrder) {
    Bind("[First]\r\na=1\r\n b = 2 \r\n[Second]\r\nc=3\r\n");
    char buffer[64];
    EXPECT_EQ(8u, ini.ReadSection("First", buffer, sizeof buffer));
    EXPECT_EQ("a=1|b=2||", ListText(buffer, 9));
    EXPECT_EQ(10u, ini.ReadSection("First", nullptr, 0));
    EXPECT_EQ(4u, ini.ReadKeyNames("first", buffer, sizeof buffer));
    EXPECT_EQ("a|b||", ListText(buffer, 5));
    EXPECT_EQ(4u, ini.ReadKeyNames("first", nullptr, 0));
    EXPECT_EQ(13u, ini.ReadSectionNames(buffer, sizeof buffer));
    EXPECT_EQ("First|Second||", ListText(buffer, 14));
    EXPECT_EQ(15u, ini.ReadSectionNames(nullptr, 0));
    EXPECT_EQ(0u, ini.ReadKeyNames("absent", buffer, sizeof buffer));
    EXPECT_EQ('\0', buffer[0]);
}

TEST_F(IniFileTest, RoomNeededCoversLargeSections) {
    std::string content = "[big]\r\n";
    std::string expectedKeys;
    for (int i = 0; i < 300; ++i) {
        content += "key" + std::to_string(i) + "=value" + std::to_string(i) + "\r\n";
        expectedKeys += "key" + std::to_string(i) + '\0';
    }
    Bind(content);
    uint32_t room = ini.ReadSection("big", nullptr, 0);
    std::vector<char> lines(room, kCanary);
    uint32_t count = ini.ReadSection("big", lines.data(), room);
    EXPECT_EQ(room, count + 2);
    EXPECT_EQ(std::string("key299=value299"), lines.data() + count - 16);

    uint32_t keyRoom = ini.ReadKeyNames("big", nullptr, 0) + 1;
    std::vector<char> keys(keyRoom, kCanary);
    EXPECT_EQ(expectedKeys.size(), ini.ReadKeyNames("big", keys.data(), keyRoom));
    EXPECT_EQ(expectedKeys + '\0', std::string(keys.data(), keyRoom));
}

TEST_F(IniFileTest, KeyNamesThatDoNotFitStayADoubleNulList) {
    Bind("[k]\r\nalpha=1\r\nbeta=2\r\ngamma=3\r\n");
    for (uint32_t size = 1; size < 20; ++size) {
        std::vector<char> buffer(size + 4, kCanary);
        uint32_t count = ini.ReadKeyNames("k", buffer.data(), size);
        ASSERT_LT(count, size) << size;
        EXPECT_EQ('\0', buffer[count]) << size;
        EXPECT_TRUE(count == 0 || buffer[count - 1] == '\0') << size;
        EXPECT_EQ(kCanary, buffer[size]) << size;
    }
}

// --- Existence ----------------------------------------------------------------

TEST_F(IniFileTest, ExistenceTellsEmptyFromAbsent) {
    Bind("[Main]\r\nempty=\r\nfull=1\r\n");
    EXPECT_EQ(1, ini.SectionExists("main"));
    EXPECT_EQ(1, ini.SectionExists("MAIN"));
    EXPECT_EQ(0, ini.SectionExists("mai"));
    EXPECT_EQ(0, ini.SectionExists(nullptr));
    EXPECT_EQ(1, ini.KeyExists("main", "EMPTY"));
    EXPECT_EQ(1, ini.KeyExists("Main", "full"));
    EXPECT_EQ(0, ini.KeyExists("Main", "absent"));
    EXPECT_EQ(0, ini.KeyExists("absent", "full"));
    EXPECT_EQ(0, ini.KeyExists(nullptr, "full"));
    EXPECT_EQ(0, ini.KeyExists("Main", nullptr));
}

TEST_F(IniFileTest, NothingExistsInAMissingFile) {
    BindMissing();
    EXPECT_EQ(0, ini.SectionExists("main"));
    EXPECT_EQ(0, ini.KeyExists("main", "k"));
    EXPECT_EQ(2u, ini.ReadSectionNames(nullptr, 0));
    EXPECT_EQ(3, ini.ReadInt("main", "k", 3, 10));
}

// --- Copy, move and delete ------------------------------------------------------

TEST_F(IniFileTest, DeleteRemovesKeysAndSections) {
    Bind("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    ASSERT_NE(0, ini.DeleteKey("a", "x"));
    EXPECT_EQ(std::string::npos, FileText().find("x="));
    EXPECT_EQ(1, ini.KeyExists("a", "y"));
    ASSERT_NE(0, ini.DeleteSection("B"));
    EXPECT_EQ(0, ini.SectionExists("b"));
    EXPECT_EQ("[a]\r\ny=2\r\n", FileText());
}

TEST_F(IniFileTest, CopySectionReplacesTheTarget) {
    Bind("[from]\r\na=1\r\nb=2\r\n[to]\r\nold=x\r\n");
    ASSERT_NE(0, ini.CopySection("from", "to", 0));
    EXPECT_EQ(0, ini.KeyExists("to", "old"));
    EXPECT_EQ("2", Stored("to", "b"));
    EXPECT_EQ("1", Stored("from", "a"));
    ASSERT_NE(0, ini.CopySection("from", "new", 1));
    EXPECT_EQ("1", Stored("new", "a"));
}

TEST_F(IniFileTest, CopySectionRefusesWithoutChanging) {
    const std::string content = "[from]\r\na=1\r\n[to]\r\nb=2\r\n";
    Bind(content);
    EXPECT_EQ(0, ini.CopySection("from", "FROM", 0));
    EXPECT_EQ(0, ini.CopySection("from", "to", 1));
    EXPECT_EQ(0, ini.CopySection("absent", "to", 0));
    EXPECT_EQ(0, ini.CopySection(nullptr, "to", 0));
    EXPECT_EQ(0, ini.CopySection("from", nullptr, 0));
    EXPECT_EQ(content, FileText());
}

TEST_F(IniFileTest, CopyKeyWritesTheWholeValue) {
    std::string value(700, 'w');
    Bind("[s]\r\nk=" + value + "\r\nother=1\r\n");
    ASSERT_NE(0, ini.CopyKey("s", "k", "t", "copy", 0));
    EXPECT_EQ(value, Stored("t", "copy"));
    EXPECT_EQ(0, ini.CopyKey("s", "k", "S", "K", 0));
    EXPECT_EQ(0, ini.CopyKey("s", "absent", "t", "x", 0));
    EXPECT_EQ(0, ini.CopyKey("s", "other", "t", "copy", 1));
    EXPECT_EQ(value, Stored("t", "copy"));
    EXPECT_EQ(0, ini.CopyKey("s", "k", nullptr, "x", 0));
}

TEST_F(IniFileTest, MoveDeletesTheSourceAfterTheCopy) {
    Bind("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    ASSERT_EQ(1, ini.MoveKey("a", "x", "b", "moved", 0));
    EXPECT_EQ(0, ini.KeyExists("a", "x"));
    EXPECT_EQ("1", Stored("b", "moved"));
    ASSERT_EQ(1, ini.MoveSection("a", "c", 0));
    EXPECT_EQ(0, ini.SectionExists("a"));
    EXPECT_EQ("2", Stored("c", "y"));
    EXPECT_EQ(0, ini.MoveSection("a", "d", 0));
    EXPECT_EQ(0, ini.MoveKey("b", "z", "c", "y", 1));
    EXPECT_EQ(1, ini.KeyExists("b", "z"));
}

// --- Bad input ------------------------------------------------------------------

TEST_F(IniFileTest, JunkFilesReadAsDefaults) {
    std::string junk;
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        junk += static_cast<char>(state >> 16);
    }
    const std::string contents[] = {
        junk,
        "no equals here\r\nnor here\r\n[s]\r\njust words",
        "[s]\r\nk=no final line end",
    };
    for (const std::string& content : contents) {
        Bind(content);
        char buffer[32];
        EXPECT_EQ(7, ini.ReadString("zz", "k", buffer, sizeof buffer, "default"));
        EXPECT_EQ(-4, ini.ReadInt("zz", "k", -4, 10));
        EXPECT_EQ(0, ini.KeyExists("s", "nor here"));
        char names[64];
        uint32_t count = ini.ReadSectionNames(names, sizeof names);
        EXPECT_LE(count, sizeof names - 2);
    }
    EXPECT_EQ("no final line end", Stored("s", "k"));
}

// Fetching a value this long takes some thousand reads of the whole file. The
// platform's profile functions convert the value between code pages on each,
// and the address sanitizer maps and unmaps every block this large; a quarter
// of the size keeps those runs short and still takes hundreds of steps.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVANEX_SLOW_LARGE_BLOCKS 1
#endif
#endif
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(TOLVANEX_SLOW_LARGE_BLOCKS)
constexpr size_t kHugeValueSize = 1 << 18;
#else
constexpr size_t kHugeValueSize = 1 << 20;
#endif

TEST_F(IniFileTest, AHugeValueIsReadWhole) {
    std::string value(kHugeValueSize, 'm');
    Bind("[big]\r\nk=" + value + "\r\n");
    char buffer[64];
    EXPECT_EQ(64, ini.ReadString("big", "k", buffer, sizeof buffer));
    EXPECT_EQ(std::string(63, 'm'), buffer);
    EXPECT_EQ(value.size(), Stored("big", "k").size());
}

TEST_F(IniFileTest, WritesToAPathThatCannotBeWrittenReturnZero) {
    std::string path = (std::filesystem::path(files.Path("no such directory")) / "x.ini").string();
    IniFile unwritable(path.c_str());
    EXPECT_EQ(0, unwritable.WriteString("s", "k", "v"));
    EXPECT_EQ(0, unwritable.WriteInt("s", "k", 1, 10));
    EXPECT_EQ(5, unwritable.ReadInt("s", "k", 5, 10));
}

} // namespace

// The project's own profile-file module: how it reads a file, how its writes
// keep the rest of the file, how it cuts values and lists, and what it does
// with files that are not profile files.
#include "script/profile_file.h"

#include "profile_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kCanary = '\x7f';

std::string Value(const char* section, const char* key, const char* defaultValue,
                  const std::string& path) {
    std::vector<char> buffer(1 << 16);
    ProfileFileReadValue(section, key, defaultValue, buffer.data(),
                         static_cast<uint32_t>(buffer.size()), path.c_str());
    return buffer.data();
}

// A double-NUL list with its NULs shown as "|", up to the closing NUL.
std::string ListText(const char* list, uint32_t count) {
    std::string text(list, count + 1);
    for (char& c : text) {
        c = c == '\0' ? '|' : c;
    }
    return text;
}

std::string Section(const char* section, const std::string& path) {
    std::vector<char> buffer(4096);
    uint32_t count = ProfileFileReadSection(section, buffer.data(),
                                            static_cast<uint32_t>(buffer.size()), path.c_str());
    return ListText(buffer.data(), count);
}

std::string SectionNames(const std::string& path) {
    std::vector<char> buffer(4096);
    uint32_t count = ProfileFileReadSectionNames(
        buffer.data(), static_cast<uint32_t>(buffer.size()), path.c_str());
    return ListText(buffer.data(), count);
}

// --- Reading ------------------------------------------------------------------

const char kLayout[] = "; top comment\r\n"
                       "top=before any section\r\n"
                       "  [ Alpha ] trailing text\r\n"
                       " key1 = v1 \r\n"
                       ";comment=x\r\n"
                       "noequals\r\n"
                       "key2=\"q\"\r\n"
                       "key3='single'\r\n"
                       "key4=\"open\r\n"
                       "key5=\"\"\r\n"
                       "key6=\"mixed'\r\n"
                       "dup=first\r\n"
                       "dup=second\r\n"
                       "=no name\r\n"
                       "[alpha]\r\n"
                       "late=hidden\r\n"
                       "[gamma\r\n"
                       "g=1\r\n"
                       "[Beta]\r\n"
                       "b = 1\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST(ProfileFileRead, FindsValuesByTheRulesOfTheFormat) {
    ProfileTestFiles files;
    std::string path = files.Create("layout.ini", kLayout);
    const ReadCase cases[] = {
        {"alpha", "key1", "v1"},
        {" ALPHA ", "\tKEY1 ", "v1"},
        {"alpha", "noequals", "<d>"},
        {"alpha", ";comment", "<d>"},
        {"alpha", "key2", "q"},
        {"alpha", "key3", "single"},
        {"alpha", "key4", "\"open"},
        {"alpha", "key5", ""},
        {"alpha", "key6", "\"mixed'"},
        {"alpha", "dup", "first"},
        {"alpha", "", "no name"},
        {"alpha", "late", "<d>"},
        {"alpha", "g", "<d>"},
        {"[gamma", "g", "<d>"},
        {"", "top", "before any section"},
        {"beta", "b", "1"},
        {"missing", "b", "<d>"},
        {"Alpha", "missing", "<d>"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(c.expected, Value(c.section, c.key, "<d>", path))
            << "[" << c.section << "] " << c.key;
    }
    EXPECT_EQ("keep  ", Value("missing", "k", "keep  ", path));
    EXPECT_EQ("\"as given\"", Value("missing", "k", "\"as given\"", path));
    EXPECT_EQ("", Value("missing", "k", nullptr, path));
}

TEST(ProfileFileRead, ListsSectionsAndTheirLines) {
    ProfileTestFiles files;
    std::string path = files.Create("layout.ini", kLayout);
    EXPECT_EQ("Alpha|alpha|Beta||", SectionNames(path));
    EXPECT_EQ("key1=v1|noequals|key2=\"q\"|key3='single'|key4=\"open|key5=\"\"|"
              "key6=\"mixed'|dup=first|dup=second|=no name||",
              Section("ALPHA", path));
    EXPECT_EQ("b=1||", Section(" beta ", path));
    EXPECT_EQ("|", Section("missing", path));
}

TEST(ProfileFileRead, ValuesAreCutToTheBuffer) {
    ProfileTestFiles files;
    std::string path = files.Create("cut.ini", "[s]\r\nk=abcdef\r\nq=\"quoted\"\r\n");
    for (uint32_t size = 0; size < 10; ++size) {
        char buffer[16];
        std::memset(buffer, kCanary, sizeof buffer);
        uint32_t count = ProfileFileReadValue("s", "k", "", buffer, size, path.c_str());
        uint32_t expected = size == 0 ? 0 : std::min<uint32_t>(6, size - 1);
        EXPECT_EQ(expected, count) << size;
        if (size > 0) {
            EXPECT_EQ(std::string("abcdef", expected), std::string(buffer)) << size;
        }
        EXPECT_EQ(kCanary, buffer[size]) << size;
    }
    char buffer[7];
    EXPECT_EQ(6u, ProfileFileReadValue("s", "q", "", buffer, sizeof buffer, path.c_str()));
    EXPECT_STREQ("quoted", buffer);
}

struct ListCut {
    uint32_t size;
    uint32_t count;
    const char* bytes; // the whole buffer: NUL as "|", untouched as "~"
};

std::string Bytes(const std::vector<char>& buffer, uint32_t size) {
    std::string text(buffer.data(), size);
    for (char& c : text) {
        c = c == '\0' ? '|' : c == kCanary ? '~' : c;
    }
    return text;
}

TEST(ProfileFileRead, ListsThatDoNotFitEndInTwoNuls) {
    ProfileTestFiles files;
    std::string path = files.Create("lists.ini", "[ab]\r\na=b\r\nlonger=value\r\n[c]\r\n");
    const ListCut sections[] = {
        {1, 0, "|"},
        {2, 0, "||"},
        {3, 1, "a||"},
        {4, 2, "a=||"},
        {5, 3, "a=b||"},
        {6, 4, "a=b|||"},
        {10, 8, "a=b|long||"},
        {18, 17, "a=b|longer=value||"},
        {20, 17, "a=b|longer=value||~~"},
    };
    for (const ListCut& c : sections) {
        std::vector<char> buffer(c.size + 4, kCanary);
        EXPECT_EQ(c.count, ProfileFileReadSection("ab", buffer.data(), c.size, path.c_str()))
            << c.size;
        EXPECT_EQ(c.bytes, Bytes(buffer, c.size)) << c.size;
        EXPECT_EQ(kCanary, buffer[c.size]) << c.size;
    }
    const ListCut names[] = {{1, 0, "|"},     {2, 0, "||"},     {4, 2, "ab||"},
                             {5, 3, "ab|||"}, {6, 5, "ab|c||"}, {7, 5, "ab|c||~"}};
    for (const ListCut& c : names) {
        std::vector<char> buffer(c.size + 4, kCanary);
        EXPECT_EQ(c.count, ProfileFileReadSectionNames(buffer.data(), c.size, path.c_str()))
            << c.size;
        EXPECT_EQ(c.bytes, Bytes(buffer, c.size)) << c.size;
        EXPECT_EQ(kCanary, buffer[c.size]) << c.size;
    }
}

// --- Writing ------------------------------------------------------------------

TEST(ProfileFileWrite, KeepsEveryOtherLineAndEndsLinesInCrLf) {
    ProfileTestFiles files;
    std::string path =
        files.Create("keep.ini", "; keep me\n[a]\n  x = 1  \n\n; about b\n\n[b]\ny=2");
    ASSERT_EQ(1, ProfileFileWriteValue("a", "z", "3", path.c_str()));
    EXPECT_EQ("; keep me\r\n[a]\r\n  x = 1  \r\nz=3\r\n\r\n; about b\r\n\r\n[b]\r\ny=2\r\n",
              files.Contents("keep.ini"));
    ASSERT_EQ(1, ProfileFileWriteValue(" A ", " X ", "  5  ", path.c_str()));
    ASSERT_EQ(1, ProfileFileWriteValue("new", "k", "v", path.c_str()));
    EXPECT_EQ(
        "; keep me\r\n[a]\r\nx=5\r\nz=3\r\n\r\n; about b\r\n\r\n[b]\r\ny=2\r\n[new]\r\nk=v\r\n",
        files.Contents("keep.ini"));
}

TEST(ProfileFileWrite, AWriteThatChangesNothingLeavesTheFileAlone) {
    ProfileTestFiles files;
    std::string path = files.Create("same.ini", "[a]\nx = 1\n");
    EXPECT_EQ(1, ProfileFileWriteValue("a", "x", "1", path.c_str()));
    EXPECT_EQ(1, ProfileFileWriteValue("a", "absent", nullptr, path.c_str()));
    EXPECT_EQ(1, ProfileFileWriteValue("absent", nullptr, nullptr, path.c_str()));
    EXPECT_EQ("[a]\nx = 1\n", files.Contents("same.ini"));

    std::string missing = files.Path("missing.ini");
    EXPECT_EQ(1, ProfileFileWriteValue("a", "x", nullptr, missing.c_str()));
    EXPECT_EQ(1, ProfileFileWriteValue("a", nullptr, nullptr, missing.c_str()));
    EXPECT_FALSE(files.Exists("missing.ini"));
    EXPECT_EQ(1, ProfileFileWriteValue("a", "x", "", missing.c_str()));
    EXPECT_EQ("[a]\r\nx=\r\n", files.Contents("missing.ini"));
}

TEST(ProfileFileWrite, NullKeyRemovesTheSectionAndNullValueTheKey) {
    ProfileTestFiles files;
    std::string path = files.Create("del.ini", "[a]\r\nx=1\r\n; a's note\r\ny=2\r\n[b]\r\nz=3\r\n"
                                               "[A]\r\nw=4\r\n");
    ASSERT_EQ(1, ProfileFileWriteValue("A", "Y", nullptr, path.c_str()));
    EXPECT_EQ("[a]\r\nx=1\r\n; a's note\r\n[b]\r\nz=3\r\n[A]\r\nw=4\r\n",
              files.Contents("del.ini"));
    ASSERT_EQ(1, ProfileFileWriteValue("a", nullptr, "", path.c_str()));
    EXPECT_EQ("[b]\r\nz=3\r\n[A]\r\nw=4\r\n", files.Contents("del.ini"));
}

TEST(ProfileFileWrite, SectionWritesReplaceTheWholeSection) {
    ProfileTestFiles files;
    std::string path = files.Create("sec.ini", "[a]\r\n;c\r\nx=1\r\n\r\n[b]\r\nz=1\r\n");
    const char list[] = "p=1\0 q = 2 \0noequals\0p=again\0";
    ASSERT_EQ(1, ProfileFileWriteSection("a", list, path.c_str()));
    EXPECT_EQ("[a]\r\np=1\r\nq=2\r\np=again\r\n[b]\r\nz=1\r\n", files.Contents("sec.ini"));
    ASSERT_EQ(1, ProfileFileWriteSection("empty", "\0", path.c_str()));
    EXPECT_EQ("a|b|empty||", SectionNames(path));
    EXPECT_EQ(0, ProfileFileWriteSection(nullptr, list, path.c_str()));
    EXPECT_EQ(0, ProfileFileWriteSection("a", nullptr, path.c_str()));
}

// --- Bad input ------------------------------------------------------------------

TEST(ProfileFileBadInput, JunkReadsAsNothingAndStaysInBounds) {
    ProfileTestFiles files;
    std::string junk;
    unsigned state = 99;
    for (int i = 0; i < 8192; ++i) {
        state = state * 1103515245u + 12345u;
        char c = static_cast<char>(state >> 16);
        junk += i % 61 == 0 ? '[' : i % 67 == 0 ? ']' : i % 71 == 0 ? '\n' : c;
    }
    std::string path = files.Create("junk.ini", junk);
    for (uint32_t size : {0u, 1u, 2u, 3u, 17u, 512u}) {
        std::vector<char> buffer(size + 4, kCanary);
        ProfileFileReadSectionNames(buffer.data(), size, path.c_str());
        EXPECT_EQ(kCanary, buffer[size]);
        ProfileFileReadSection("", buffer.data(), size, path.c_str());
        EXPECT_EQ(kCanary, buffer[size]);
        ProfileFileReadValue("none", "k", "default", buffer.data(), size, path.c_str());
        EXPECT_EQ(kCanary, buffer[size]);
    }
    EXPECT_EQ("default", Value("none", "k", "default", path));
    ASSERT_EQ(1, ProfileFileWriteValue("after junk", "k", "v", path.c_str()));
    EXPECT_EQ("v", Value("after junk", "k", "", path));
}

TEST(ProfileFileBadInput, LongValuesAndMissingLineEnds) {
    ProfileTestFiles files;
    std::string value(1 << 20, 'm');
    std::string path = files.Create("big.ini", "[s]\r\nk=" + value + "\r\nlast=no line end");
    std::vector<char> buffer(value.size() + 1);
    EXPECT_EQ(value.size(),
              ProfileFileReadValue("s", "k", "", buffer.data(),
                                   static_cast<uint32_t>(buffer.size()), path.c_str()));
    EXPECT_EQ("no line end", Value("s", "last", "", path));
    ASSERT_EQ(1, ProfileFileWriteValue("s", "new", "1", path.c_str()));
    EXPECT_EQ("1", Value("s", "new", "", path));
}

TEST(ProfileFileBadInput, UnwritableAndUnreadablePaths) {
    ProfileTestFiles files;
    std::string inMissingDirectory =
        (std::filesystem::path(files.Path("no such directory")) / "x.ini").string();
    EXPECT_EQ(0, ProfileFileWriteValue("s", "k", "v", inMissingDirectory.c_str()));
    EXPECT_EQ(0, ProfileFileWriteSection("s", "k=v\0", inMissingDirectory.c_str()));
    EXPECT_EQ("d", Value("s", "k", "d", inMissingDirectory));

    // A directory is a path that exists but cannot be read as a file.
    std::filesystem::create_directory(files.Path("directory.ini"));
    std::string directory = files.Path("directory.ini");
    EXPECT_EQ(0, ProfileFileWriteValue("s", "k", "v", directory.c_str()));
    EXPECT_EQ("d", Value("s", "k", "d", directory));
    EXPECT_EQ("|", SectionNames(directory).substr(0, 1));

    EXPECT_EQ(0, ProfileFileWriteValue(nullptr, "k", "v", directory.c_str()));
    EXPECT_EQ("d", Value(nullptr, "k", "d", directory));
}

} // namespace

// What IniFile asks of the profile service: the buffer sizes of its reads as
// values grow, the defaults and nulls it passes, and the calls it leaves out.
// This program links IniFile against a recording service that hands every
// call on to the profile-file module.
#include "script/ini_file.h"
#include "script/profile_file.h"
#include "script/profile_service.h"

#include "profile_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ServiceCall {
    std::string operation;
    uint32_t size;
    std::string key;   // "(null)" for a null key
    std::string value; // default or value; "(null)" for null
};

std::vector<ServiceCall> calls;

std::string Shown(const char* text) {
    return text != nullptr ? text : "(null)";
}

} // namespace

uint32_t ProfileReadValue(const char* section, const char* key, const char* defaultValue,
                          char* buffer, uint32_t size, const char* path) {
    calls.push_back({"read value", size, Shown(key), Shown(defaultValue)});
    return ProfileFileReadValue(section, key, defaultValue, buffer, size, path);
}

int ProfileWriteValue(const char* section, const char* key, const char* value, const char* path) {
    calls.push_back({"write value", 0, Shown(key), Shown(value)});
    return ProfileFileWriteValue(section, key, value, path);
}

uint32_t ProfileReadSection(const char* section, char* buffer, uint32_t size, const char* path) {
    calls.push_back({"read section", size, "", ""});
    return ProfileFileReadSection(section, buffer, size, path);
}

uint32_t ProfileReadSectionNames(char* buffer, uint32_t size, const char* path) {
    calls.push_back({"read section names", size, "", ""});
    return ProfileFileReadSectionNames(buffer, size, path);
}

int ProfileWriteSection(const char* section, const char* list, const char* path) {
    calls.push_back({"write section", 0, "", ""});
    return ProfileFileWriteSection(section, list, path);
}

namespace {

class IniFileServiceTest : public ::testing::Test {
protected:
    void Bind(const std::string& content) {
        ini.SetFile(files.Create("service.ini", content).c_str());
        calls.clear();
    }

    std::vector<uint32_t> Sizes() const {
        std::vector<uint32_t> sizes;
        for (const ServiceCall& call : calls) {
            sizes.push_back(call.size);
        }
        return sizes;
    }

    ProfileTestFiles files;
    IniFile ini;
};

struct GrowthCase {
    size_t length;
    std::vector<uint32_t> sizes;
};

TEST_F(IniFileServiceTest, ReadValueGrowsItsBufferIn512ByteSteps) {
    const GrowthCase cases[] = {
        {0, {512}},
        {510, {512}},
        {511, {512, 1024}},
        {512, {512, 1024}},
        {1022, {512, 1024}},
        {1023, {512, 1024, 1536}},
        {2000, {512, 1024, 1536, 2048}},
    };
    for (const GrowthCase& c : cases) {
        Bind("[s]\r\nk=" + std::string(c.length, 'x') + "\r\n");
        char* value = ini.ReadValue("s", "k");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(std::string(c.length, 'x'), value);
        delete[] value;
        EXPECT_EQ(c.sizes, Sizes()) << c.length;
    }
}

TEST_F(IniFileServiceTest, RoomSearchesGrowIn512ByteSteps) {
    std::string content = "[big]\r\n";
    for (int i = 0; i < 60; ++i) {
        content += "key" + std::to_string(i) + "=value\r\n"; // 60 lines of 11 to 12 bytes
    }
    Bind(content);
    uint32_t room = ini.ReadSection("big", nullptr, 0);
    EXPECT_EQ((std::vector<uint32_t>{512, 1024}), Sizes());
    std::vector<char> lines(room);
    EXPECT_EQ(room - 2, ini.ReadSection("big", lines.data(), room));
    calls.clear();
    EXPECT_EQ(6u, ini.ReadSectionNames(nullptr, 0));
    EXPECT_EQ((std::vector<uint32_t>{512}), Sizes());
}

TEST_F(IniFileServiceTest, ReadsPassTheirDefaultAndTypedReadsNone) {
    Bind("[s]\r\nk=1\r\n");
    char buffer[16];
    ini.ReadString("s", "k", buffer, sizeof buffer, "dflt");
    ini.ReadString("s", "k", buffer, sizeof buffer);
    ini.ReadInt("s", "k", 5, 10);
    ini.KeyExists("s", "k");
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("dflt", calls[0].value);
    EXPECT_EQ("", calls[1].value);
    EXPECT_EQ("", calls[2].value);
    EXPECT_EQ(MissingKeySentinel, calls[3].value);
}

TEST_F(IniFileServiceTest, DeletesUseTheNullForms) {
    Bind("[s]\r\nk=1\r\n");
    ini.WriteString("s", "k", nullptr);
    ini.DeleteKey("s", "k");
    ini.DeleteSection("s");
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("k", calls[0].key);
    EXPECT_EQ("", calls[0].value);
    EXPECT_EQ("k", calls[1].key);
    EXPECT_EQ("(null)", calls[1].value);
    EXPECT_EQ("(null)", calls[2].key);
    EXPECT_EQ("", calls[2].value);
}

TEST_F(IniFileServiceTest, NullNamesMakeNoCall) {
    Bind("[s]\r\nk=1\r\n");
    char buffer[16];
    char* value = ini.ReadValue(nullptr, "k", "d");
    EXPECT_STREQ("d", value);
    delete[] value;
    ini.ReadString("s", nullptr, buffer, sizeof buffer, "d");
    ini.ReadBool(nullptr, "k", 0);
    ini.WriteString("s", nullptr, "v");
    ini.KeyExists(nullptr, "k");
    ini.SectionExists(nullptr);
    ini.ReadSection(nullptr, buffer, sizeof buffer);
    ini.ReadKeyNames(nullptr, buffer, sizeof buffer);
    ini.ReadList("s", nullptr, buffer, sizeof buffer, ",", 1);
    ini.CopyKey("s", "k", nullptr, "x", 0);
    ini.DeleteKey("s", nullptr);
    EXPECT_TRUE(calls.empty());
}

TEST_F(IniFileServiceTest, CopySectionWritesTheWholeSourceAsOneList) {
    std::string content = "[from]\r\n";
    for (int i = 0; i < 100; ++i) {
        content += "k" + std::to_string(i) + "=" + std::string(20, 'v') + "\r\n";
    }
    Bind(content + "[to]\r\nold=1\r\n");
    ASSERT_NE(0, ini.CopySection("from", "to", 0));
    EXPECT_EQ(0, ini.KeyExists("to", "old"));
    char value[32];
    EXPECT_EQ(20, ini.ReadString("to", "k99", value, sizeof value));
}

} // namespace

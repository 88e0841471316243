// Runs one fixed-seed random mix of profile operations through the platform's
// profile functions and through the project's profile-file module, each on a
// file of its own, and requires equal return values, equal read results and
// equal file bytes after every operation.
//
// The platform here is Wine's implementation. Where it is known to differ
// from the behaviour the module is built to, a difference is accepted only
// when one of the named exceptions below explains it exactly; each is counted.
#include "script/profile_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

enum WineException {
    // Wine writes the trailing blanks of the names and value of a write into
    // the file (a new "[name ]" or "key =value  " line); blanks around names
    // and values are to be ignored, so the module stores them trimmed. Wine
    // trims them on its next write; files are compared in normal form.
    kKeepsTrailingBlanksOfWrite,
    // Wine gives a value in quotes one character short when the value without
    // its quotes needs exactly the whole buffer.
    kCutsQuotedTextShort,
    // Wine drops trailing blanks and enclosing quotes from the default; the
    // default is to be copied as given.
    kAltersDefault,
    // Wine reports a list that fills the buffer exactly as cut (size - 2).
    kReportsExactFitAsCut,
    // Wine ends a cut list of section names with one NUL at size - 2 and
    // leaves the last byte unwritten; a cut list is to end in two NULs.
    kEndsCutNamesWithOneNul,
    // Wine's section read writes outside a buffer of 0 or 1 bytes: two NULs
    // for an absent section, one at size - 2 otherwise (a crash for size 0).
    // Such sizes go to the module alone, which must write nothing beyond them.
    kBreaksTinySectionBuffer,
    // Wine's deletes do not ignore blanks around the section or key name, so
    // they delete nothing.
    kDeletesMatchBlanks,
    // Wine's section read does not ignore blanks around the section name, so
    // it finds nothing.
    kSectionReadMatchesBlanks,
    // Wine's section write does not ignore blanks around the section name
    // when it empties the section, only when it adds the new lines, so the
    // old lines stay.
    kSectionWriteMatchesBlanks,
    // Wine loses a line with an empty key ("=value") that directly follows
    // another one when it loads the file. Only a section list with two such
    // strings makes that layout, so the mix gives a list at most one; counted
    // is every list that had a second one left out.
    kLosesRepeatedEmptyKey,
    // Wine does not create a missing section from a list without entries.
    kSkipsSectionOfEmptyList,
    kExceptionCount
};

const char* const kExceptionNames[kExceptionCount] = {
    "KeepsTrailingBlanksOfWrite", "CutsQuotedTextShort",      "AltersDefault",
    "ReportsExactFitAsCut",       "EndsCutNamesWithOneNul",   "BreaksTinySectionBuffer",
    "DeletesMatchBlanks",         "SectionReadMatchesBlanks", "SectionWriteMatchesBlanks",
    "LosesRepeatedEmptyKey",      "SkipsSectionOfEmptyList",
};

constexpr int kOperations = 12000;
constexpr char kCanary = '\x7f';
constexpr size_t kSlack = 8;

const char* const kSections[] = {
    "Main",  "MAIN", " main ",   "Second Section", "second section", "\tTabbed ",     "br]acket",
    "[open", "a=b",  "'single'", "\"double\"",     "Other",          "Never Written",
};
const char* const kKeys[] = {
    "Key", "key",   " KEY ", "name with blanks", "a=b",           "[k", "k]", "'q'", "\"dq\"",
    "x",   "Empty", "",      "\tpadded\t",       "Never Written",
};
const char* const kDefaults[] = {"", "def", "def  ", "\"quoted default\"", "   ", "'x'"};

struct ReadResult {
    uint32_t count;
    std::string bytes; // the first size bytes of the buffer
    bool overran;      // a byte behind size was written
};

template <typename Read> ReadResult CallWithCanary(uint32_t size, Read read) {
    std::vector<char> buffer(size + kSlack, kCanary);
    ReadResult result;
    result.count = read(buffer.data(), size);
    result.bytes.assign(buffer.data(), size);
    result.overran = false;
    for (size_t i = size; i < buffer.size(); ++i) {
        result.overran = result.overran || buffer[i] != kCanary;
    }
    return result;
}

// The bytes of a buffer, readable in a failure message.
std::string Shown(const ReadResult& result) {
    std::string shown = std::to_string(result.count) + " \"";
    for (char c : result.bytes) {
        shown += c == '\0'      ? std::string("\\0")
                 : c == kCanary ? std::string("~")
                                : std::string(1, c);
    }
    return shown + "\"";
}

bool operator==(const ReadResult& a, const ReadResult& b) {
    return a.count == b.count && a.bytes == b.bytes;
}

std::string Trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::string();
    }
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::optional<std::string> FileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, count);
    }
    std::fclose(file);
    return bytes;
}

// A file in Wine's own form: headers as "[name]", entries without blanks
// around key and value, blank lines dropped, CR LF line ends.
std::string NormalForm(const std::string& bytes) {
    std::string normal;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = Trim(bytes.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line = Trim(line.substr(0, line.size() - 1));
        }
        if (line.empty()) {
            continue;
        }
        size_t close = line.rfind(']');
        size_t equals = line.find('=');
        if (line[0] == '[' && close != std::string::npos) {
            normal += "[" + Trim(line.substr(1, close - 1)) + "]\r\n";
        } else if (equals != std::string::npos) {
            normal += Trim(line.substr(0, equals)) + "=" + Trim(line.substr(equals + 1)) + "\r\n";
        } else {
            normal += line + "\r\n";
        }
    }
    return normal;
}

// What Wine copies for a found value or a default: one pair of enclosing
// quotes dropped, but one character more when the text without quotes needs
// exactly the whole buffer.
ReadResult WineCopy(const std::string& text, uint32_t size) {
    std::vector<char> buffer(size + kSlack, kCanary);
    std::string source = text;
    bool quoted =
        source.size() >= 2 && (source[0] == '"' || source[0] == '\'') && source.back() == source[0];
    if (quoted) {
        source.erase(0, 1); // the closing quote goes only when it was copied
    }
    uint32_t count = 0;
    if (size > 0) {
        count = static_cast<uint32_t>(std::min<size_t>(source.size(), size - 1));
        if (quoted && size >= source.size() && count > 0) {
            --count;
        }
        std::memcpy(buffer.data(), source.data(), count);
        buffer[count] = '\0';
    }
    return {count, std::string(buffer.data(), size), false};
}

// The default as Wine uses it: trailing blanks dropped, but never its first
// character.
std::string WineDefault(const std::string& text) {
    size_t end = text.size();
    while (end > 1 && text[end - 1] == ' ') {
        --end;
    }
    return text.substr(0, end);
}

// The copy the module is built to: quotes around a value dropped, cut to
// size - 1 characters.
ReadResult ExpectedCopy(const std::string& text, uint32_t size) {
    std::vector<char> buffer(size + kSlack, kCanary);
    uint32_t count = 0;
    if (size > 0) {
        count = static_cast<uint32_t>(std::min<size_t>(text.size(), size - 1));
        std::memcpy(buffer.data(), text.data(), count);
        buffer[count] = '\0';
    }
    return {count, std::string(buffer.data(), size), false};
}

std::string DropQuotes(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

class Differential {
public:
    Differential() : random_(20240611u) {
        char directory[MAX_PATH];
        GetTempPathA(MAX_PATH, directory);
        std::string base = std::string(directory) + "tolvanex-differential-" +
                           std::to_string(GetCurrentProcessId());
        CreateDirectoryA(base.c_str(), nullptr);
        wineFile_ = base + "\\platform.ini";
        moduleFile_ = base + "\\module.ini";
        missingFile_ = base + "\\no such directory\\missing.ini";
        directory_ = base;
    }

    ~Differential() {
        RemoveFiles();
        RemoveDirectoryA(directory_.c_str());
    }

    void Run(int operations) {
        for (int i = 0; i < operations && !::testing::Test::HasFailure(); ++i) {
            step_ = i;
            RunOne();
            CompareFiles();
        }
    }

    int Count(WineException exception) const { return counts_[exception]; }

private:
    size_t Pick(size_t count) {
        return std::uniform_int_distribution<size_t>(0, count - 1)(random_);
    }

    template <size_t N> const char* PickFrom(const char* const (&names)[N]) {
        return names[Pick(N)];
    }

    std::string PickValue() {
        static const char* const kValues[] = {
            "",      "v",   "  padded  ", "\"quoted\"", "'single'", "\"open",      "mixed\"'",
            "a=b=c", "[x]", "semi;colon", "\"\"",       "\"",       "Tab\tinside",
        };
        switch (Pick(5)) {
        case 0:
            return std::string(Pick(1200), static_cast<char>('a' + Pick(26)));
        case 1: {
            // Lengths around the read steps, in quotes or not.
            std::string core(508 + Pick(8) - (Pick(2) ? 0 : 500), 'q');
            return Pick(2) ? "\"" + core + "\"" : core;
        }
        default:
            return kValues[Pick(sizeof kValues / sizeof kValues[0])];
        }
    }

    uint32_t PickSize() {
        static const uint32_t kSizes[] = {0,  1,  2,  3,  4,   5,   6,   7,   8,   9,   10,   12,
                                          16, 20, 32, 64, 100, 509, 510, 511, 512, 513, 1024, 4096};
        return kSizes[Pick(sizeof kSizes / sizeof kSizes[0])];
    }

    const char* PickPathForRead() { return Pick(20) == 0 ? missingFile_.c_str() : nullptr; }

    void ReleaseWineCache() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, wineFile_.c_str());
    }

    void RemoveFiles() {
        ReleaseWineCache();
        DeleteFileA(wineFile_.c_str());
        DeleteFileA(moduleFile_.c_str());
    }

    void RunOne() {
        size_t kind = Pick(100);
        if (kind < 30) {
            WriteValue(PickFrom(kSections), PickFrom(kKeys), PickValue());
        } else if (kind < 37) {
            Delete(PickFrom(kSections), PickFrom(kKeys));
        } else if (kind < 40) {
            Delete(PickFrom(kSections), nullptr);
        } else if (kind < 72) {
            ReadValue();
        } else if (kind < 83) {
            ReadSection();
        } else if (kind < 91) {
            ReadSectionNames();
        } else if (kind < 98) {
            WriteSection();
        } else if (kind < 99) {
            WriteToMissingDirectory();
        } else {
            RemoveFiles();
        }
    }

    void WriteValue(const char* section, const char* key, const std::string& value) {
        Trace("write", section, key);
        int wine = WritePrivateProfileStringA(section, key, value.c_str(), wineFile_.c_str());
        int module = ProfileFileWriteValue(section, key, value.c_str(), moduleFile_.c_str());
        EXPECT_EQ(wine != 0, module != 0) << Where("write") << section << "/" << key;
    }

    void Delete(const char* section, const char* key) {
        Trace("delete", section, key);
        std::optional<std::string> wineBefore = FileBytes(wineFile_);
        int wine = WritePrivateProfileStringA(section, key, nullptr, wineFile_.c_str());
        int module = ProfileFileWriteValue(section, key, nullptr, moduleFile_.c_str());
        EXPECT_EQ(wine != 0, module != 0) << Where("delete") << section;
        bool blanks = Trim(section) != section || (key != nullptr && Trim(key) != key);
        if (blanks && FileBytes(wineFile_) == wineBefore &&
            FileBytes(moduleFile_) != FileBytes(wineFile_)) {
            Explain(kDeletesMatchBlanks);
            CopyModuleFileToWine();
        }
    }

    void WriteSection() {
        static const char* const kItems[] = {"k=v", " key = padded ", "noequals", "=empty key",
                                             "x=1", "KEY=upper",      "a=b=c",    "k=again"};
        std::string list;
        bool emptyKey = false;
        for (size_t n = Pick(4); n > 0; --n) {
            const char* item = kItems[Pick(sizeof kItems / sizeof kItems[0])];
            if (item[0] == '=' && emptyKey) {
                Explain(kLosesRepeatedEmptyKey);
                continue;
            }
            emptyKey = emptyKey || item[0] == '=';
            list += item;
            list += '\0';
        }
        list += '\0';
        const char* section = PickFrom(kSections);
        Trace("write section", section, list.c_str());
        std::optional<std::string> wineBefore = FileBytes(wineFile_);
        int wine = WritePrivateProfileSectionA(section, list.data(), wineFile_.c_str());
        int module = ProfileFileWriteSection(section, list.data(), moduleFile_.c_str());
        EXPECT_EQ(wine != 0, module != 0) << Where("write section") << section;
        std::optional<std::string> moduleAfter = FileBytes(moduleFile_);
        std::string header = "[" + Trim(section) + "]\r\n";
        bool noEntries = true;
        for (const char* item = list.data(); *item != '\0'; item += std::strlen(item) + 1) {
            noEntries = noEntries && std::strchr(item, '=') == nullptr;
        }
        std::optional<std::string> wineAfter = FileBytes(wineFile_);
        if (Trim(section) != section && wineAfter && moduleAfter &&
            NormalForm(*wineAfter) != NormalForm(*moduleAfter)) {
            Explain(kSectionWriteMatchesBlanks);
            CopyModuleFileToWine();
        } else if (noEntries && wineAfter == wineBefore && moduleAfter &&
                   NormalForm(*moduleAfter) == NormalForm(wineBefore.value_or("")) + header) {
            Explain(kSkipsSectionOfEmptyList);
            CopyModuleFileToWine();
        }
    }

    void WriteToMissingDirectory() {
        EXPECT_EQ(0, WritePrivateProfileStringA("s", "k", "v", missingFile_.c_str()));
        EXPECT_EQ(0, ProfileFileWriteValue("s", "k", "v", missingFile_.c_str()));
    }

    void ReadValue() {
        const char* section = PickFrom(kSections);
        const char* key = PickFrom(kKeys);
        const char* defaultValue = Pick(8) == 0 ? nullptr : PickFrom(kDefaults);
        uint32_t size = PickSize();
        const char* missing = PickPathForRead();
        const char* winePath = missing ? missing : wineFile_.c_str();
        const char* modulePath = missing ? missing : moduleFile_.c_str();
        ReadResult wine = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return GetPrivateProfileStringA(section, key, defaultValue, buffer, n, winePath);
        });
        ReadResult module = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return ProfileFileReadValue(section, key, defaultValue, buffer, n, modulePath);
        });
        EXPECT_FALSE(module.overran) << Where("read value");
        EXPECT_FALSE(wine.overran) << Where("read value");
        if (wine == module) {
            return;
        }
        // Explain the difference from the text the module found.
        std::optional<std::string> raw = RawValue(section, key, modulePath);
        std::string fallback = defaultValue != nullptr ? defaultValue : "";
        ReadResult expected = ExpectedCopy(raw ? DropQuotes(*raw) : fallback, size);
        ReadResult wineModel = WineCopy(raw ? *raw : WineDefault(fallback), size);
        bool explained = module == expected && wine == wineModel;
        EXPECT_TRUE(explained) << Where("read value") << "[" << section << "]" << key << " size "
                               << size << ": platform " << Shown(wine) << " module "
                               << Shown(module) << " platform model " << Shown(wineModel);
        if (explained) {
            Explain(raw ? kCutsQuotedTextShort : kAltersDefault);
        }
    }

    // The stored value of section/key as the module's file holds it, quotes
    // included; none when the key is absent.
    std::optional<std::string> RawValue(const char* section, const char* key, const char* path) {
        std::vector<char> lines(1 << 16, '\0');
        ProfileFileReadSection(section, lines.data(), static_cast<uint32_t>(lines.size()), path);
        std::string name = Trim(key);
        for (const char* item = lines.data(); *item != '\0' && !name.empty();
             item += std::strlen(item) + 1) {
            std::string text(item);
            size_t equals = text.find('=');
            if (equals != std::string::npos && EqualNoCase(text.substr(0, equals), name)) {
                return text.substr(equals + 1);
            }
            if (equals == std::string::npos && EqualNoCase(text, name)) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    void ReadSection() {
        const char* section = PickFrom(kSections);
        uint32_t size = PickSize();
        const char* missing = PickPathForRead();
        if (size < 2) {
            ReadResult module = CallWithCanary(size, [&](char* buffer, uint32_t n) {
                return ProfileFileReadSection(section, buffer, n, moduleFile_.c_str());
            });
            EXPECT_EQ(0u, module.count) << Where("read section");
            EXPECT_FALSE(module.overran) << Where("read section");
            EXPECT_EQ(std::string(size, '\0'), module.bytes) << Where("read section");
            Explain(kBreaksTinySectionBuffer);
            return;
        }
        ReadResult wine = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return GetPrivateProfileSectionA(section, buffer, n,
                                             missing ? missing : wineFile_.c_str());
        });
        ReadResult module = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return ProfileFileReadSection(section, buffer, n,
                                          missing ? missing : moduleFile_.c_str());
        });
        ReadResult none = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return ProfileFileReadSection(section, buffer, n, missingFile_.c_str());
        });
        if (Trim(section) != section && wine == none && !(module == none)) {
            Explain(kSectionReadMatchesBlanks);
            return;
        }
        CompareLists(("read section [" + std::string(section) + "]").c_str(), size, wine, module,
                     false);
    }

    void ReadSectionNames() {
        uint32_t size = PickSize();
        const char* missing = PickPathForRead();
        ReadResult wine = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return GetPrivateProfileSectionNamesA(buffer, n, missing ? missing : wineFile_.c_str());
        });
        ReadResult module = CallWithCanary(size, [&](char* buffer, uint32_t n) {
            return ProfileFileReadSectionNames(buffer, n, missing ? missing : moduleFile_.c_str());
        });
        CompareLists("read section names", size, wine, module, true);
    }

    void CompareLists(const char* what, uint32_t size, const ReadResult& wine,
                      const ReadResult& module, bool names) {
        EXPECT_FALSE(module.overran) << Where(what);
        EXPECT_FALSE(wine.overran) << Where(what);
        if (wine == module) {
            return;
        }
        bool exactFit = module.count + 1 == size && wine.count + 2 == size;
        bool cut = module.count + 2 == size && wine.count + 2 == size;
        bool sameBytes = wine.bytes == module.bytes;
        bool sameButLast = size >= 1 &&
                           wine.bytes.compare(0, size - 1, module.bytes, 0, size - 1) == 0 &&
                           wine.bytes[size - 1] == kCanary;
        if (exactFit && (sameBytes || (names && sameButLast))) {
            Explain(kReportsExactFitAsCut);
            if (!sameBytes) {
                Explain(kEndsCutNamesWithOneNul);
            }
        } else if (names && cut && sameButLast) {
            Explain(kEndsCutNamesWithOneNul);
        } else {
            ADD_FAILURE() << Where(what) << "size " << size << ": platform " << Shown(wine)
                          << " module " << Shown(module);
        }
    }

    void CompareFiles() {
        std::optional<std::string> wine = FileBytes(wineFile_);
        std::optional<std::string> module = FileBytes(moduleFile_);
        if (wine == module) {
            return;
        }
        ASSERT_TRUE(wine.has_value() && module.has_value()) << Where("files") << "one file missing";
        if (NormalForm(*wine) == *module) {
            Explain(kKeepsTrailingBlanksOfWrite);
        } else {
            ADD_FAILURE() << Where("files") << "\nplatform:\n" << *wine << "\nmodule:\n" << *module;
        }
    }

    void CopyModuleFileToWine() {
        ReleaseWineCache();
        std::optional<std::string> bytes = FileBytes(moduleFile_);
        DeleteFileA(wineFile_.c_str());
        if (bytes) {
            std::FILE* file = std::fopen(wineFile_.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(bytes->data(), 1, bytes->size(), file);
            std::fclose(file);
        }
    }

    void Trace(const char* what, const char* section, const char* key) const {
        if (std::getenv("TOLVANEX_DIFFERENTIAL_VERBOSE") != nullptr) {
            std::printf("%s[%s] %s\n", Where(what).c_str(), section ? section : "(null)",
                        key ? key : "(null)");
        }
    }

    void Explain(WineException exception) {
        ++counts_[exception];
        if (std::getenv("TOLVANEX_DIFFERENTIAL_VERBOSE") != nullptr) {
            std::printf("%s\n", Where(kExceptionNames[exception]).c_str());
        }
    }

    std::string Where(const char* what) const {
        return "step " + std::to_string(step_) + " " + what + ": ";
    }

    std::mt19937 random_;
    std::string directory_;
    std::string wineFile_;
    std::string moduleFile_;
    std::string missingFile_;
    int step_ = 0;
    int counts_[kExceptionCount] = {};
};

TEST(ProfileFileDifferential, AgreesWithPlatformApartFromNamedExceptions) {
    Differential differential;
    differential.Run(kOperations);
    for (int i = 0; i < kExceptionCount; ++i) {
        std::printf("%-28s %d\n", kExceptionNames[i],
                    differential.Count(static_cast<WineException>(i)));
    }
    std::printf("operations: %d\n", kOperations);
}

} // namespace

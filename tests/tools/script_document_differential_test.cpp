// The builder's reading of a script against the product's profile-file
// module, which the platform's profile functions are held to: the same
// generated documents (odd blanks, sections and keys given twice, letter
// case, NUL and high bytes, comments, lines without "=", a missing last line
// end) and every lookup setup.exe could make must give the same value.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "script/profile_file.h"
#include "tests/archive/archive_test_support.h"
#include "tools/builder/script_document.h"

namespace {

const char* const kNames[] = {"main",  "Main",   "MAIN", "dialogs", "files", "1",
                              "count", "0_dest", "a b",  "x\xE4y",  "",      "k"};
const char* const kValues[] = {"",    "v",      "\"quoted\"", "'single'", "\"half",
                               "a=b", " pad  ", "\xFC\xDF",   "\"\"",     "%%INSTALLDIR%%x"};
const char* const kBlanks[] = {"", " ", "\t", "  \t"};
const char* const kLineEnds[] = {"\r\n", "\n", "\r\n", "\n"};

std::string Pick(std::mt19937& random, const char* const* items, size_t count) {
    return items[std::uniform_int_distribution<size_t>(0, count - 1)(random)];
}

template <size_t N> std::string Pick(std::mt19937& random, const char* const (&items)[N]) {
    return Pick(random, items, N);
}

std::string Document(std::mt19937& random, std::vector<std::string>* names) {
    std::string text;
    const int lines = std::uniform_int_distribution<int>(0, 14)(random);
    for (int i = 0; i < lines; ++i) {
        const std::string name = Pick(random, kNames);
        names->push_back(name);
        std::string line;
        switch (std::uniform_int_distribution<int>(0, 9)(random)) {
        case 0:
        case 1:
            line = Pick(random, kBlanks) + "[" + Pick(random, kBlanks) + name +
                   Pick(random, kBlanks) + "]" + Pick(random, kBlanks);
            break;
        case 2:
            line = "; " + name + "=comment";
            break;
        case 3:
            line = Pick(random, kBlanks) + name; // no "="
            break;
        case 4:
            line = std::string(
                       1, static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random))) +
                   name + "=" + Pick(random, kValues);
            break;
        case 5:
            line = "[" + name; // a header never closed
            break;
        default:
            line = Pick(random, kBlanks) + name + Pick(random, kBlanks) + "=" +
                   Pick(random, kBlanks) + Pick(random, kValues) + Pick(random, kBlanks);
            break;
        }
        text += line;
        if (i + 1 < lines || std::uniform_int_distribution<int>(0, 1)(random) == 0) {
            text += Pick(random, kLineEnds);
        }
    }
    return text;
}

// The builder's answer to a lookup: the value setup.exe reads, or `fallback`.
std::string BuilderValue(const ScriptDocument& document, const char* section, const char* key,
                         const std::string& fallback) {
    const ScriptSection* found = FindSection(document, section);
    const ScriptEntry* entry = found != nullptr ? FindEntry(*found, key) : nullptr;
    return entry != nullptr && entry->hasValue ? ProfileValue(*entry) : fallback;
}

TEST(ScriptDocumentDifferential, ReadsEveryValueAsTheProfileModuleDoes) {
    ScratchDirectory scratch;
    const std::string path = scratch.Join("setup.ini");
    std::mt19937 random(20261209);
    const std::string fallback = "\x01none";
    int lookups = 0;
    for (int round = 0; round < 10000; ++round) {
        std::vector<std::string> names;
        const std::string text = Document(random, &names);
        ASSERT_TRUE(WriteFileBytes(path, Bytes(text.begin(), text.end())));
        ScriptDocument document;
        std::string error;
        ASSERT_TRUE(ParseScriptDocument(text, path, &document, &error, ScriptBytes::AsSetupExe));
        names.push_back("absent");
        for (const std::string& section : names) {
            // setup.exe names every section it reads; the module's lines
            // before the first header are a section of their own even when
            // empty, the document's only when they hold entries.
            if (section.empty()) {
                continue;
            }
            for (const std::string& key : names) {
                char buffer[512];
                ProfileFileReadValue(section.c_str(), key.c_str(), fallback.c_str(), buffer,
                                     sizeof buffer, path.c_str());
                ++lookups;
                ASSERT_EQ(BuilderValue(document, section.c_str(), key.c_str(), fallback),
                          std::string(buffer))
                    << "[" << section << "] " << key << " in:\n"
                    << text;
            }
        }
    }
    EXPECT_GT(lookups, 100000);
}

} // namespace

// The builder's script reader: the profile reader's rules, and the code
// pages a script may come in.
#include <gtest/gtest.h>

#include <string>

#include "tools/builder/script_document.h"

namespace {

ScriptDocument Parse(const std::string& text) {
    ScriptDocument document;
    std::string error;
    EXPECT_TRUE(ParseScriptDocument(text, "t.ini", &document, &error)) << error;
    return document;
}

// What FindSection and FindEntry give for one lookup: the value as the
// profile reader returns it and its line, or line 0 when absent.
struct Lookup {
    const char* text;
    const char* section;
    const char* key;
    const char* value;
    int line;
};

TEST(ScriptDocument, FindsWhatTheProfileReaderFinds) {
    const Lookup kCases[] = {
        {"[main]\napptitle=A\n", "MAIN", "AppTitle", "A", 2},
        {"[main]\n  apptitle  =  A b  \n", "main", "apptitle", "A b", 2},
        {"[main]\napptitle=A\napptitle=B\n", "main", "apptitle", "A", 2},
        {"[main]\napptitle=A\n[main]\napptitle=B\nversion=1\n", "main", "version", "", 0},
        {"[main]\n;apptitle=A\napptitle=B\n", "main", "apptitle", "B", 3},
        {"[main]\r\napptitle=\"A b\"\r\n", "main", "apptitle", "A b", 2},
        {"[main]\napptitle='A'\n", "main", "apptitle", "A", 2},
        {"[main]\napptitle=\"A'\n", "main", "apptitle", "\"A'", 2},
        {"apptitle=A\n[main]\n", "", "apptitle", "A", 1},
        {"apptitle=A\n[main]\n", "main", "apptitle", "", 0},
        {"  [ main ]  \napptitle=A", "main", "apptitle", "A", 2},
        {"[main]\napptitle\n", "main", "apptitle", "", 2},
        {"[main]\n\n\n=x\napptitle=A\n", "main", "apptitle", "A", 5},
    };
    for (const Lookup& c : kCases) {
        SCOPED_TRACE(c.text);
        ScriptDocument document = Parse(c.text);
        const ScriptSection* section = FindSection(document, c.section);
        const ScriptEntry* entry = section != nullptr ? FindEntry(*section, c.key) : nullptr;
        EXPECT_EQ(entry != nullptr ? entry->line : 0, c.line);
        EXPECT_EQ(entry != nullptr ? ProfileValue(*entry) : "", c.value);
        // The indexes answer the same, down to the very entry.
        EXPECT_EQ(FindSection(IndexSections(document), c.section), section);
        if (section != nullptr) {
            EXPECT_EQ(FindEntry(IndexEntries(*section), c.key), entry);
        }
    }
}

// Every entry of every section: the index calls it the first of its key
// exactly when a walk finds it first, duplicates in any letter case, lines
// without "=" and keys holding any byte included.
TEST(ScriptDocument, AnIndexKnowsTheFirstEntryOfEachKey) {
    const std::string texts[] = {
        "[a]\nk=1\nK=2\nk\nx=3\n[A]\nk=4\n",
        "k=0\n[files]\n1=a\n2=b\n01=c\n1=d\n 2 =e\n",
        std::string("[s]\nk\0x=1\nk=2\n", 14) + std::string("k\0y=3\n", 6),
        "[s]\n\xC4=1\n\xE4=2\n\xC4=3\n",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const ScriptDocument document = Parse(text);
        const SectionIndex sections = IndexSections(document);
        for (const ScriptSection& section : document.sections) {
            EXPECT_EQ(FindSection(sections, section.name), FindSection(document, section.name));
            const EntryIndex keys = IndexEntries(section);
            for (const ScriptEntry& entry : section.entries) {
                SCOPED_TRACE(entry.key);
                EXPECT_EQ(IsFirstOfKey(keys, entry), FindEntry(section, entry.key) == &entry);
            }
        }
    }
}

TEST(ScriptDocument, KeepsValuesAsWrittenAndLinesInOrder) {
    ScriptDocument document = Parse("; c\n[main]\napptitle=\"A\"\n\n[files]\n1=x\n2 = y\n");
    ASSERT_EQ(document.sections.size(), 2u);
    EXPECT_EQ(document.sections[0].name, "main");
    EXPECT_EQ(document.sections[0].line, 2);
    EXPECT_EQ(document.sections[0].entries[0].value, "\"A\"");
    EXPECT_EQ(document.sections[1].line, 5);
    EXPECT_EQ(document.sections[1].entries[1].key, "2");
    EXPECT_EQ(document.sections[1].entries[1].line, 7);
    EXPECT_EQ(FormatScriptText(document),
              "[main]\r\napptitle=\"A\"\r\n\r\n[files]\r\n1=x\r\n2=y\r\n");
}

struct Encoding {
    const char* bytes;
    const char* text; // CP1252, or null when the bytes are refused
    const char* error;
};

TEST(ScriptDocument, ReadsUtf8AndCp1252AsCp1252) {
    const Encoding kCases[] = {
        {"[main]\napptitle=Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC\n",
         "Gr\xFC\xDF"
         "e \x80",
         nullptr},
        {"\xEF\xBB\xBF[main]\napptitle=\xC3\xA4\n", "\xE4", nullptr},
        {"[main]\napptitle=Gr\xFC\xDF"
         "e \x80\n",
         "Gr\xFC\xDF"
         "e \x80",
         nullptr},
        // Not valid UTF-8, so CP1252.
        {"[main]\napptitle=\xE4\xF6\n", "\xE4\xF6", nullptr},
        {"[main]\napptitle=plain\n", "plain", nullptr},
        {"[main]\nversion=1\napptitle=\xE4\xB8\xAD\n", nullptr,
         "t.ini:3: error: the character U+4E2D"},
        {"[main]\napptitle=\xF0\x9F\x98\x80\n", nullptr, "t.ini:2: error: the character U+1F600"},
    };
    for (const Encoding& c : kCases) {
        SCOPED_TRACE(c.bytes);
        ScriptDocument document;
        std::string error;
        const bool parsed = ParseScriptDocument(c.bytes, "t.ini", &document, &error);
        ASSERT_EQ(parsed, c.text != nullptr) << error;
        if (parsed) {
            const ScriptSection* main = FindSection(document, "main");
            ASSERT_NE(main, nullptr);
            const ScriptEntry* title = FindEntry(*main, "apptitle");
            ASSERT_NE(title, nullptr);
            EXPECT_EQ(title->value, c.text);
        } else {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        }
    }
}

TEST(ScriptDocument, NamesAnUnreadableFile) {
    ScriptDocument document;
    std::string error;
    EXPECT_FALSE(ReadScriptDocument("/nonexistent/dir/setup.ini", &document, &error));
    EXPECT_EQ(error.rfind("/nonexistent/dir/setup.ini: error: ", 0), 0u) << error;
}

} // namespace

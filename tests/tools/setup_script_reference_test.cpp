// docs/SETUP_SCRIPT.md against the setup script's table: every section, and
// every key with its kind, limit, expansion, default and purpose, as one row
// of the reference; every placeholder and every constant name named there.
// With TOLVANEX_PRINT_REFERENCE set, the expected rows are printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/placeholders.h"
#include "script/setup_script.h"
#include "tests/archive/archive_test_support.h"

namespace {

std::string KeyName(const SetupSection& section, const SetupKey& row) {
    if (section.numbering == Numbering::None) {
        return row.key;
    }
    if (section.numbering != Numbering::Items) {
        return section.numbering == Numbering::AnyKey ? "KEY" : "N";
    }
    char key[kListKeySize];
    std::snprintf(key, sizeof key, row.key, "N");
    return key;
}

std::string KindName(const SetupKey& row) {
    if (row.kind != ValueKind::Constant) {
        return ValueKindName(row.kind);
    }
    return std::string("name: ") + ConstantTableName(row.constant);
}

// "| `N_dest` | path | 259 | yes | empty | what the shortcut opens |"
std::string Row(const SetupSection& section, const SetupKey& row) {
    return "| `" + KeyName(section, row) + "` | " + KindName(row) + " | " +
           (row.size > 0 ? std::to_string(row.size - 1) : std::string("-")) + " | " +
           ExpansionName(row.expansion) + " | " +
           (row.fallback[0] != '\0' ? std::string(row.fallback) : std::string("empty")) + " | " +
           row.purpose + " |";
}

std::string SectionLine(const SetupSection& section) {
    return std::string("### [") + section.name + "]: " + section.purpose;
}

TEST(SetupScriptReference, DescribesEveryRowOfTheTable) {
    const Bytes bytes = ReadFileBytes(TOLVANEX_SETUP_SCRIPT_REFERENCE);
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_FALSE(text.empty());
    const bool print = std::getenv("TOLVANEX_PRINT_REFERENCE") != nullptr;
    std::vector<std::string> expected;
    for (const SetupSection& section : kSetupSections) {
        expected.push_back(SectionLine(section));
        for (size_t i = 0; i < section.keyCount; ++i) {
            const SetupKey& row = section.keys[i];
            expected.push_back(Row(section, row));
            if (row.kind == ValueKind::Constant) {
                EXPECT_STREQ(row.fallback, GetConstantTable(row.constant).fallbackName)
                    << "the default the table gives";
            }
        }
    }
    for (const char* token : kPlaceholderTokens) {
        expected.push_back(std::string("| `") + token + "` |");
    }
    for (ConstantKind kind :
         {ConstantKind::RegistryRoot, ConstantKind::RegistryValueType, ConstantKind::ServiceType,
          ConstantKind::ServiceStartType, ConstantKind::ServiceErrorControl}) {
        const ConstantTable& table = GetConstantTable(kind);
        expected.push_back(std::string("### ") + ConstantTableName(kind));
        for (size_t i = 0; i < table.count; ++i) {
            expected.push_back(std::string("`") + table.rows[i].name + "`");
        }
    }
    for (const std::string& line : expected) {
        if (print) {
            std::printf("%s\n", line.c_str());
        }
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

} // namespace

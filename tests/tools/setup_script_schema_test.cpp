// The setup script's table against its readers: a script that sets every
// key of the table to a marker, packed and inspected as a user would, shows
// every marker; the start-up's settings hold each of theirs; and every
// boolean changes what inspect reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "script/ini_file.h"
#include "script/setup_script.h"
#include "tests/archive/archive_test_support.h"

namespace {

int RunTool(const std::string& arguments, const std::string& outPath) {
    std::string command =
        "\"" + std::string(TOLVANEX_BUILD_TOOL) + "\" " + arguments + " >\"" + outPath + "\" 2>&1";
#ifdef _WIN32
    return std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string ItemKeyName(const char* format, int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return key;
}

// The key of the table's row as a script writes it for the first item.
std::string KeyOf(const SetupSection& section, const SetupKey& row) {
    switch (section.numbering) {
    case Numbering::None:
        return row.key;
    case Numbering::FromOne:
    case Numbering::AnyKey:
        return "1";
    default:
        return ItemKeyName(row.key, 0);
    }
}

// A name of the row's table that setup.exe does not take by default.
std::string ConstantMarker(ConstantKind kind) {
    const ConstantTable& table = GetConstantTable(kind);
    for (size_t i = table.count; i-- > 0;) {
        if (std::string(table.rows[i].name) != table.fallbackName) {
            return table.rows[i].name;
        }
    }
    return "";
}

// What a row is set to: a marker naming the row, or for a boolean `on`.
std::string MarkerOf(const SetupSection& section, const SetupKey& row, bool on) {
    switch (row.kind) {
    case ValueKind::Boolean:
        return on ? "yes" : "no";
    case ValueKind::Constant:
        return ConstantMarker(row.constant);
    default:
        return std::string("M_") + section.name + "_" + KeyOf(section, row);
    }
}

// Every section and key of the table, booleans on except `off`.
std::string MarkerScript(const SetupKey* off = nullptr) {
    std::string text;
    for (const SetupSection& section : kSetupSections) {
        text += std::string("[") + section.name + "]\n";
        if (section.numbering != Numbering::None && section.numbering != Numbering::AnyKey) {
            text += std::string(kCountKey) + "=1\n";
        }
        for (size_t i = 0; i < section.keyCount; ++i) {
            const SetupKey& row = section.keys[i];
            text += KeyOf(section, row) + "=" + MarkerOf(section, row, &row != off) + "\n";
        }
    }
    return text;
}

std::string Inspect(const ScratchDirectory& scratch, const std::string& script) {
    EXPECT_TRUE(WriteFileBytes(scratch.Join("setup.ini"), Bytes(script.begin(), script.end())));
    const std::string installer = scratch.Join("setup.exe");
    EXPECT_EQ(RunTool("pack --stub \"" + scratch.Join("stub.exe") + "\" --out \"" + installer +
                          "\" \"" + scratch.Join("setup.ini") +
                          "\" \"file_1=" + scratch.Join("stub.exe") + "\"",
                      scratch.Join("out")),
              0)
        << ReadText(scratch.Join("out"));
    EXPECT_EQ(RunTool("inspect \"" + installer + "\" --json", scratch.Join("out")), 0);
    return ReadText(scratch.Join("out"));
}

TEST(SetupScriptSchema, InspectReportsEveryKeyOfTheTable) {
    ScratchDirectory scratch;
    const Bytes stub = {'M', 'Z'};
    ASSERT_TRUE(WriteFileBytes(scratch.Join("stub.exe"), stub));
    const std::string all = Inspect(scratch, MarkerScript());
    int rows = 0;
    for (const SetupSection& section : kSetupSections) {
        for (size_t i = 0; i < section.keyCount; ++i, ++rows) {
            const SetupKey& row = section.keys[i];
            SCOPED_TRACE(std::string(section.name) + " " + row.key);
            if (row.kind == ValueKind::Boolean) {
                EXPECT_NE(Inspect(scratch, MarkerScript(&row)), all) << "switching it off";
            } else {
                EXPECT_NE(all.find("\"" + MarkerOf(section, row, true) + "\""), std::string::npos)
                    << all;
            }
        }
    }
    EXPECT_GT(rows, 30);
}

TEST(SetupScriptSchema, TheSettingsHoldEveryTextOfMainAndDialogs) {
    ScratchDirectory scratch;
    const std::string script = MarkerScript();
    ASSERT_TRUE(WriteFileBytes(scratch.Join("setup.ini"), Bytes(script.begin(), script.end())));
    IniFile file;
    file.SetFile(scratch.Join("setup.ini").c_str());
    SetupSettings settings;
    LoadSetupSettings(file, &settings);
    const std::string fields[] = {settings.ApplicationTitle,     settings.ApplicationVersion,
                                  settings.PublisherName,        settings.PublisherUrl,
                                  settings.DestinationDirectory, settings.DoneReadmePath,
                                  settings.DoneLaunchPath};
    for (const char* name : {kMainSection, kDialogsSection}) {
        const SetupSection& section = *FindSetupSection(name);
        for (size_t i = 0; i < section.keyCount; ++i) {
            const SetupKey& row = section.keys[i];
            const std::string marker = MarkerOf(section, row, true);
            if (row.kind == ValueKind::Boolean) {
                continue; // the settings' flags and dotnet, read where it runs
            }
            bool held = false;
            for (const std::string& field : fields) {
                held = held || field == marker;
            }
            EXPECT_TRUE(held) << marker;
        }
    }
    EXPECT_TRUE(settings.ShowLicense && settings.ShowReadme && settings.ShowUserInfo &&
                settings.DoneShowReadme && settings.DoneShowLaunch);
}

} // namespace

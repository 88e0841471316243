// The builder's checks: for each, a script that triggers it and a nearly
// equal one that is clean, so that a check neither stays silent nor fires on
// sound scripts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tools/builder/script_checks.h"

namespace {

std::string Main(const std::string& title = "A",
                 const std::string& destination = "%%PROGRAMFILES%%A",
                 const std::string& more = "") {
    return "[main]\napptitle=" + title + "\ndestdir=" + destination + "\n" + more;
}

const std::string kFiles = "[files]\n1=%%INSTALLDIR%%app.exe\n";

// How the script comes: alone, as a build script, or with a payload.
enum class From { SetupIni, BuildScript, Payload };

struct CheckCase {
    const char* name; // the check the first script triggers
    From from;
    std::string triggering;
    std::string clean;
    std::vector<std::string> payload = {"setup.ini", "file_1"};
    std::vector<std::string> cleanPayload = {"setup.ini", "file_1"};
};

std::vector<Finding> Check(const std::string& text, From from,
                           const std::vector<std::string>& payload) {
    ScriptDocument document;
    std::string error;
    EXPECT_TRUE(ParseScriptDocument(text, "s.ini", &document, &error)) << error;
    CheckOptions options;
    options.buildScript = from == From::BuildScript;
    if (from == From::Payload) {
        options.payloadEntries = &payload;
    }
    std::vector<Finding> findings;
    CheckScript(document, options, &findings);
    return findings;
}

std::string Describe(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& finding : findings) {
        text += FormatFinding(finding) + "\n";
    }
    return text;
}

const std::string kShortcut = "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n"
                              "0_lnk=%%PROGRAMS%%A.lnk\n";
const std::string kKeyEntry = "0_hkey=HKEY_CURRENT_USER\n0_key=Software\\A\n";

std::vector<CheckCase> Cases() {
    const std::string longName(230, 'x');
    return {
        {"count-missing", From::SetupIni, Main() + kFiles + "[shell_folders]\n0=%%PROGRAMS%%A\n",
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%A\n"},
        {"bad-count", From::SetupIni,
         Main() + kFiles + "[shell_folders]\ncount=1x\n0=%%PROGRAMS%%A\n",
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%A\n"},
        {"bad-count", From::SetupIni, Main() + kFiles + "[shell_folders]\ncount=-1\n",
         Main() + kFiles + "[shell_folders]\ncount=0\n"},
        {"bad-count", From::SetupIni, Main() + kFiles + "[shell_folders]\ncount=65535\n",
         Main() + kFiles + "[shell_folders]\ncount=0\n"},
        {"count-too-small", From::SetupIni,
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%A\n1=%%PROGRAMS%%B\n",
         Main() + kFiles + "[shell_folders]\ncount=2\n0=%%PROGRAMS%%A\n1=%%PROGRAMS%%B\n"},
        {"count-too-large", From::SetupIni,
         Main() + kFiles + "[shell_folders]\ncount=2\n0=%%PROGRAMS%%A\n",
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%A\n"},
        {"missing-key", From::SetupIni,
         Main() + kFiles + "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n",
         Main() + kFiles + kShortcut},
        {"missing-key", From::SetupIni, Main() + kFiles + "[reg]\ncount=1\n0_hkey=HKEY_USERS\n",
         Main() + kFiles + "[reg]\ncount=1\n0_hkey=HKEY_USERS\n0_key=A\n"},
        {"ignored-key", From::SetupIni, Main() + kFiles + "[dialogs]\nshow_licence=no\n",
         Main() + kFiles + "[dialogs]\nshow_license=no\n"},
        {"ignored-key", From::SetupIni,
         Main() + kFiles + "[dialogs]\nshow_readme=no\nshow_readme=yes\n",
         Main() + kFiles + "[dialogs]\nshow_readme=no\n"},
        {"ignored-key", From::SetupIni,
         Main() + kFiles +
             "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n0_lnk=%%PROGRAMS%%A.lnk\n0_"
             "link=x\n",
         Main() + kFiles + kShortcut},
        {"ignored-key", From::SetupIni, "version=1\n" + Main() + kFiles, Main() + kFiles},
        {"ignored-section", From::SetupIni, Main() + kFiles + "[shell_item]\ncount=0\n",
         Main() + kFiles + "[shell_items]\ncount=0\n"},
        {"ignored-section", From::SetupIni,
         Main() + kFiles + "[dialogs]\n[dialogs]\nshow_readme=no\n",
         Main() + kFiles + "[dialogs]\nshow_readme=no\n"},
        {"ignored-section", From::SetupIni, Main() + kFiles + "[build]\nstub=s.exe\n",
         Main() + kFiles},
        {"unknown-root", From::SetupIni, Main() + kFiles + "[reg]\ncount=1\n0_hkey=HKCU\n0_key=A\n",
         Main() + kFiles + "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=A\n"},
        {"unknown-value-type", From::SetupIni,
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=1\n0_type=reg_sz\n",
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=1\n0_type=REG_SZ\n"},
        {"unknown-service-type", From::SetupIni,
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" "
             "-s\n0_type=OWN_PROCESS\n",
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" "
             "-s\n0_type=WIN32_OWN_PROCESS\n"},
        {"unknown-start-type", From::SetupIni,
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" -s\n0_starttype=AUTO\n",
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" "
             "-s\n0_starttype=AUTO_START\n"},
        {"unknown-error-control", From::SetupIni,
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" "
             "-s\n0_errortype=NORMAL\n",
         Main() + kFiles +
             "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" "
             "-s\n0_errortype=ERROR_NORMAL\n"},
        {"bad-dword", From::SetupIni,
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=12abc\n0_type=REG_DWORD\n",
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=0x1F\n0_type=REG_DWORD\n"},
        {"bad-dword", From::SetupIni,
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=4294967296\n0_type=REG_DWORD\n",
         Main() + kFiles + "[reg]\ncount=1\n" + kKeyEntry + "0_std=4294967295\n0_type=REG_DWORD\n"},
        {"unknown-placeholder", From::SetupIni,
         Main() + "[files]\n1=%%INSTALLDIR%%%%VERSION%%.exe\n", Main() + kFiles},
        {"unknown-placeholder", From::SetupIni,
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%PROGRAMS%A\n",
         Main() + kFiles + "[shell_folders]\ncount=1\n0=%%PROGRAMS%%A\n"},
        {"lone-percent", From::SetupIni,
         Main() + kFiles +
             "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n0_lnk=%%PROGRAMS%%A.lnk\n0_"
             "desc=100%% sicher\n",
         Main() + kFiles +
             "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n0_lnk=%%PROGRAMS%%A.lnk\n0_"
             "desc=100% sicher\n"},
        {"literal-placeholder", From::SetupIni,
         Main() + kFiles +
             "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=Software\\%%COMPANY%%\n",
         Main() + kFiles + "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=Software\\A\n"},
        {"literal-placeholder", From::SetupIni,
         Main() + kFiles +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%PROGRAMFILES%%A\\app.exe\n",
         Main() + kFiles +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%INSTALLDIR%%app.exe\n"},
        {"empty-placeholder", From::SetupIni,
         Main() + kFiles +
             "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app.exe\n0_lnk=%%PROGRAMS%%A.lnk\n0_"
             "args=%%USER%%\n",
         Main() + kFiles +
             "[dialogs]\nshow_userinfo=yes\n[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%app."
             "exe\n0_lnk=%%PROGRAMS%%A.lnk\n0_args=%%USER%%\n"},
        {"empty-placeholder", From::SetupIni, Main("A", "%%INSTALLDIR%%A") + kFiles,
         Main() + kFiles},
        {"path-too-long", From::SetupIni, Main() + "[files]\n1=%%INSTALLDIR%%" + longName + "\n",
         Main() + "[files]\n1=%%INSTALLDIR%%" + longName.substr(0, 200) + "\n"},
        {"path-too-long", From::SetupIni, Main() + "[files]\n1=C:\\" + std::string(258, 'x') + "\n",
         Main() + "[files]\n1=%%INSTALLDIR%%" + std::string(200, 'x') + "\n"},
        {"bad-path-name", From::SetupIni,
         Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%a|b\n" + kFiles,
         Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%ab\n" + kFiles},
        {"bad-path-name", From::SetupIni, Main("A", "%%PROGRAMFILES%%Nul.d") + kFiles,
         Main("A", "%%PROGRAMFILES%%Null.d") + kFiles},
        {"text-too-long", From::SetupIni,
         Main("A", "%%PROGRAMFILES%%A", "version=" + std::string(255, '1') + "\n") + kFiles,
         Main("A", "%%PROGRAMFILES%%A", "version=" + std::string(254, '1') + "\n") + kFiles},
        {"folder-order", From::SetupIni,
         Main() + "[folders]\ncount=2\n1=%%INSTALLDIR%%a\\b\n2=%%INSTALLDIR%%a\n" + kFiles,
         Main() + "[folders]\ncount=2\n1=%%INSTALLDIR%%a\n2=%%INSTALLDIR%%a\\b\n" + kFiles},
        {"folder-not-created", From::SetupIni, Main() + kFiles + "2=%%INSTALLDIR%%d\\x.txt\n",
         Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%d\n" + kFiles +
             "2=%%INSTALLDIR%%d\\x.txt\n"},
        {"folder-not-created", From::SetupIni,
         Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%a\\b\n" + kFiles,
         Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%a\n" + kFiles},
        {"duplicate-target", From::SetupIni, Main() + kFiles + "2=%%INSTALLDIR%%APP.exe\n",
         Main() + kFiles + "2=%%INSTALLDIR%%app2.exe\n"},
        {"target-outside-installdir", From::SetupIni, Main() + kFiles + "2=%%WINSYSDIR%%a.dll\n",
         Main() + kFiles + "2=%%INSTALLDIR%%a.dll\n"},
        {"value-without-key", From::SetupIni,
         Main() + kFiles +
             "[reg]\ncount=1\n0_hkey=HKEY_LOCAL_MACHINE\n0_key=SOFTWARE\\Firma\\A\n0_value=V\n",
         Main() + kFiles +
             "[reg]\ncount=2\n0_hkey=HKEY_LOCAL_MACHINE\n0_key=SOFTWARE\\Firma\\A\n"
             "1_hkey=HKEY_LOCAL_MACHINE\n1_key=software\\firma\\a\\\n1_value=V\n"},
        {"value-without-key", From::SetupIni,
         Main() + kFiles +
             "[reg]\ncount=2\n0_hkey=HKEY_LOCAL_MACHINE\n0_key=SOFTWARE\\Firma\n"
             "1_hkey=HKEY_LOCAL_MACHINE\n1_key=SOFTWARE\\Firma\\A\n1_value=V\n",
         Main() + kFiles +
             "[reg]\ncount=2\n0_hkey=HKEY_LOCAL_MACHINE\n0_key=SOFTWARE\\Firma\\A\\B\n"
             "1_hkey=HKEY_LOCAL_MACHINE\n1_key=SOFTWARE\\Firma\\A\n1_value=V\n"},
        {"value-without-key", From::SetupIni,
         Main() + kFiles +
             "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=Environmen\n0_value=V\n",
         Main() + kFiles +
             "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=Environment\n0_value=V\n"},
        {"enclosing-quotes", From::SetupIni, Main("\"A\"") + kFiles, Main() + kFiles},
        {"enclosing-quotes", From::SetupIni,
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\"\n",
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=\"\"%%INSTALLDIR%%app.exe\"\"\n"},
        {"bad-boolean", From::SetupIni, Main("A", "%%PROGRAMFILES%%A", "dotnet=ja\n") + kFiles,
         Main("A", "%%PROGRAMFILES%%A", "dotnet=no\n") + kFiles},
        {"bad-boolean", From::SetupIni, Main() + kFiles + "[dialogs]\nshow_readme=on\n",
         Main() + kFiles + "[dialogs]\nshow_readme=0\n"},
        {"missing-license", From::BuildScript,
         Main() + kFiles + "[dialogs]\nshow_license=yes\n[build]\n",
         Main() + kFiles + "[dialogs]\nshow_license=yes\n[build]\nlicense=l.rtf\nfile_1=app.exe\n"},
        {"missing-readme",
         From::Payload,
         Main() + kFiles + "[dialogs]\nshow_readme=TRUE\n",
         Main() + kFiles + "[dialogs]\nshow_readme=TRUE\n",
         {"setup.ini", "file_1"},
         {"setup.ini", "readme.rtf", "file_1"}},
        {"done-path-not-installed", From::SetupIni,
         Main() + kFiles +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%INSTALLDIR%%b.exe\n",
         Main() + kFiles +
             "[dialogs]\ndone_show_launch=yes\ndone_show_launch_path=%%INSTALLDIR%%app.exe\n"},
        {"done-path-not-installed", From::SetupIni,
         Main() + kFiles + "[dialogs]\ndone_show_readme=yes\n",
         Main() + kFiles + "[dialogs]\ndone_show_readme=no\n"},
        {"shortcut-target-not-installed", From::SetupIni,
         Main() + kFiles +
             "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%b.exe\n0_lnk=%%PROGRAMS%%A.lnk\n",
         Main() + kFiles + kShortcut},
        {"service-binary-not-installed", From::SetupIni,
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%b.exe\" -s\n",
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" -s\n"},
        {"unquoted-service-path", From::SetupIni,
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=%%INSTALLDIR%%app.exe -s\n",
         Main() + kFiles + "[svc]\ncount=1\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" -s\n"},
        {"dotnet-without-redistributable",
         From::Payload,
         Main("A", "%%PROGRAMFILES%%A", "dotnet=1\n") + kFiles,
         Main("A", "%%PROGRAMFILES%%A", "dotnet=1\n") + kFiles,
         {"setup.ini", "file_1"},
         {"setup.ini", "dotnetfx.exe", "file_1"}},
        {"empty-apptitle", From::SetupIni, Main("") + kFiles, Main() + kFiles},
        {"apptitle-backslash", From::SetupIni, Main("A\\B") + kFiles, Main("A B") + kFiles},
        {"apptitle-too-long", From::SetupIni, Main(std::string(204, 'a')) + kFiles,
         Main(std::string(203, 'a')) + kFiles},
        {"empty-destdir", From::SetupIni, Main("A", "") + kFiles, Main() + kFiles},
        {"destdir-too-long", From::SetupIni, Main("A", "C:\\" + std::string(240, 'd')) + kFiles,
         Main("A", "C:\\" + std::string(200, 'd')) + kFiles},
        {"destdir-too-long", From::SetupIni,
         Main("A", "%%PROGRAMFILES%%" + std::string(210, 'd')) + kFiles,
         Main("A", "%%PROGRAMFILES%%" + std::string(200, 'd')) + kFiles},
        {"duplicate-service", From::SetupIni,
         Main() + kFiles +
             "[svc]\ncount=2\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" -s\n"
             "1_name=s\n1_binpath=\"%%INSTALLDIR%%app.exe\" -t\n",
         Main() + kFiles +
             "[svc]\ncount=2\n0_name=S\n0_binpath=\"%%INSTALLDIR%%app.exe\" -s\n"
             "1_name=T\n1_binpath=\"%%INSTALLDIR%%app.exe\" -t\n"},
        {"entry-without-target",
         From::Payload,
         Main() + kFiles,
         Main() + kFiles,
         {"setup.ini", "file_1", "file_2"}},
        {"entry-without-target", From::BuildScript,
         Main() + kFiles + "[build]\nfile_1=a\nfile_2=b\n",
         Main() + kFiles + "[build]\nfile_1=a\n"},
        {"target-without-entry", From::Payload, Main() + kFiles, Main() + kFiles, {"setup.ini"}},
        {"files-beside-sources", From::BuildScript,
         Main() + kFiles + "[sources]\ncount=1\n0_from=bin\n0_to=%%INSTALLDIR%%\n",
         Main() + "[sources]\ncount=1\n0_from=bin\n0_to=%%INSTALLDIR%%\n"},
        {"bad-architecture", From::BuildScript,
         Main() + kFiles + "[build]\nfile_1=a\narchitecture=arm\n",
         Main() + kFiles + "[build]\nfile_1=a\narchitecture=X64\n"},
        // Empty is no architecture either: build refuses it as well.
        {"bad-architecture", From::BuildScript,
         Main() + kFiles + "[build]\nfile_1=a\narchitecture=\n",
         Main() + kFiles + "[build]\nfile_1=a\narchitecture=x86\n"},
        // The compression settings are the builder's keys too.
        {"ignored-key", From::BuildScript, Main() + kFiles + "[build]\nfile_1=a\nmethd=lzma\n",
         Main() + kFiles + "[build]\nfile_1=a\nmethod=deflate\nlevel=9\n"},
        {"missing-key", From::BuildScript, Main() + "[sources]\ncount=1\n0_from=bin\n",
         Main() + "[sources]\ncount=1\n0_from=bin\n0_to=%%INSTALLDIR%%\n"},
    };
}

TEST(ScriptChecks, EachCheckFiresOnItsScriptAndNotOnTheCleanOne) {
    for (const CheckCase& c : Cases()) {
        SCOPED_TRACE(std::string(c.name) + "\n" + c.triggering);
        const std::vector<Finding> found = Check(c.triggering, c.from, c.payload);
        bool named = false;
        for (const Finding& finding : found) {
            named = named || finding.name == c.name;
        }
        EXPECT_TRUE(named) << Describe(found);
        const std::vector<Finding> clean = Check(c.clean, c.from, c.cleanPayload);
        EXPECT_TRUE(clean.empty()) << c.clean << "\n" << Describe(clean);
    }
}

// Every finding has its check's row and the row's severity, and every row
// has a case above (those read from the file's bytes, or from the
// installer's programs, are tested by the check command's tests).
TEST(ScriptChecks, EveryFindingHasItsRowAndEveryRowItsCase) {
    std::set<std::string> covered = {"end-record-out-of-reach", "utf8-setup-script",
                                     "mixed-architecture", "unreadable-method"};
    for (const CheckCase& c : Cases()) {
        SCOPED_TRACE(c.triggering);
        for (const Finding& finding : Check(c.triggering, c.from, c.payload)) {
            const CheckInfo* row = FindCheck(finding.name);
            ASSERT_NE(row, nullptr) << finding.name;
            if (row->severity != Severity::WarningOrError) {
                EXPECT_EQ(finding.severity, row->severity) << finding.name;
            }
            covered.insert(finding.name);
        }
    }
    std::set<std::string> rows;
    for (const CheckInfo& check : ListAllChecks()) {
        EXPECT_TRUE(rows.insert(check.name).second) << check.name << " twice";
    }
    EXPECT_EQ(covered, rows);
}

// Names are judged whole: a drive, the "\\?\" prefix and placeholders are
// not names, and beside the user's name only characters can be wrong.
TEST(ScriptChecks, JudgesEachNameOfAPathSetupCreates) {
    const struct {
        std::string value;
        const char* severity; // of the one bad-path-name finding, or "" for none
    } cases[] = {
        {"C:\\Daten\\Neu", ""},
        {"\\\\?\\C:\\Daten", ""},
        {"\\\\Server\\Freigabe\\Neu", ""},
        {"%%PROGRAMS%%con", "error"},
        {"C:\\a\\b:c", "error"},
        {"C:\\Daten?\\x", "error"},
        {"C:/a/<b>", "error"},
        {"%%PROGRAMS%%Daten.\\x", "warning"},
        {"%%PROGRAMS%%Von %%COMPANY%%", ""},
        {"%%PROGRAMS%%%%COMPANY%%.", ""},
        {"%%PROGRAMS%%Aux%%COMPANY%%", ""},
        {"%%PROGRAMS%%%%COMPANY%%|", "error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::vector<Finding> found =
            Check(Main() + kFiles + "[shell_folders]\ncount=1\n0=" + c.value + "\n", From::SetupIni,
                  {"setup.ini", "file_1"});
        std::string severity;
        for (const Finding& finding : found) {
            if (finding.name == "bad-path-name") {
                EXPECT_TRUE(severity.empty()) << Describe(found);
                severity = finding.severity == Severity::Error ? "error" : "warning";
            }
        }
        EXPECT_EQ(severity, c.severity) << Describe(found);
    }
}

TEST(ScriptChecks, FindingsNameTheBuildScriptLinesOfGeneratedEntries) {
    ScriptDocument script;
    std::string error;
    ASSERT_TRUE(ParseScriptDocument(Main() + "[sources]\ncount=2\n0_from=bin\n0_to=%%INSTALLDIR%%"
                                             "\n1_from=doc\n1_to=%%INSTALLDIR%%Doc\n",
                                    "app.tvx", &script, &error));
    // What the builder would make of it, had it forgotten the folder.
    ScriptDocument generated;
    generated.path = "setup.ini";
    generated.sections = script.sections;
    generated.sections.erase(generated.sections.begin() + 1);
    generated.sections.push_back(
        {"files", 0, {{"1", "%%INSTALLDIR%%app.exe", 7}, {"2", "%%INSTALLDIR%%Doc\\a.txt", 9}}});
    CheckOptions options;
    options.buildScript = true;
    options.generated = &generated;
    std::vector<Finding> findings;
    CheckScript(script, options, &findings);
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_EQ(FormatFinding(findings[0]).substr(0, 31), "app.tvx:9: error: the target's ");
    EXPECT_EQ(findings[0].name, "folder-not-created");

    // The same script with the folder among the generated ones is clean.
    generated.sections.push_back(
        {"folders", 0, {{"count", "1", 9}, {"1", "%%INSTALLDIR%%Doc", 9}}});
    std::swap(generated.sections[generated.sections.size() - 1],
              generated.sections[generated.sections.size() - 2]);
    findings.clear();
    CheckScript(script, options, &findings);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

// A key holding a NUL byte once made the duplicate test look up another key
// than its own and follow a null pointer.
TEST(ScriptChecks, LooksUpKeysWithAnyByteWhole) {
    const std::string script = Main() + kFiles + std::string("[dialogs]\nshow_readme\0x=1\n", 26);
    const std::vector<Finding> found = Check(script, From::SetupIni, {});
    ASSERT_EQ(found.size(), 1u) << Describe(found);
    EXPECT_EQ(found[0].name, "ignored-key");
}

// A count beyond what a payload holds, as a number or as the number a text
// begins with: one bad-count finding and no walk up to it (the walk would
// add count-too-large for the items missing, after minutes).
TEST(ScriptChecks, CountsAboveAPayloadEndTheListAtOnce) {
    const char* counts[] = {"2147483647x", "2147483647",  "2000000000", "65535",
                            "65535 items", "99999999999", "4294967295"};
    for (const char* section : {"folders", "shell_folders", "shell_items", "reg", "svc"}) {
        for (const char* count : counts) {
            SCOPED_TRACE(std::string(section) + " " + count);
            const std::vector<Finding> found = Check(
                Main() + kFiles + "[" + section + "]\ncount=" + count + "\n", From::SetupIni, {});
            ASSERT_EQ(found.size(), 1u) << Describe(found);
            EXPECT_EQ(found[0].name, "bad-count");
            EXPECT_NE(found[0].text.find("above the 65534 entries"), std::string::npos)
                << found[0].text;
        }
    }
}

// 100,000 keys of 197 characters that differ only at their end: a walk over
// the section for each key, to learn whether it is the first of its name,
// compares every pair of them letter by letter (more than an hour); the
// checks take each key once.
TEST(ScriptChecks, ManyKeysAreCheckedWithoutComparingEachPair) {
    const std::string prefix(190, 'k');
    std::string text = Main() + "[folders]\ncount=1\n1=%%INSTALLDIR%%d\n[files]\n";
    for (int i = 0; i < 100000; ++i) {
        text +=
            prefix + std::to_string(1000000 + i) + "=%%INSTALLDIR%%d\\f" + std::to_string(i) + "\n";
    }
    text += prefix + "1000000=%%INSTALLDIR%%d\\again\n";
    const std::vector<Finding> found = Check(text, From::SetupIni, {});
    ASSERT_EQ(found.size(), 1u) << (found.empty() ? "" : FormatFinding(found[0]));
    EXPECT_EQ(found[0].name, "ignored-key");
    EXPECT_EQ(found[0].line, 100000 + 8);
}

TEST(ScriptChecks, WarningsCountAsErrorsOnlyWhenAsked) {
    const std::vector<Finding> warnings = Check(Main("") + kFiles, From::SetupIni, {});
    ASSERT_FALSE(warnings.empty());
    EXPECT_FALSE(HasErrors(warnings, false));
    EXPECT_TRUE(HasErrors(warnings, true));
    EXPECT_EQ(FormatFinding(warnings[0]),
              "s.ini:2: warning: no apptitle: setup.exe registers no uninstall entry, and the "
              "pages show an empty title [empty-apptitle]");
    EXPECT_TRUE(
        HasErrors(Check(Main() + kFiles + "2=%%INSTALLDIR%%d\\x\n", From::SetupIni, {}), false));
}

} // namespace

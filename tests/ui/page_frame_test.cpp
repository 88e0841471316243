// The frame operations: string table, formatting, centring, title font,
// "Info..." entry and icons, as every page applies them.
#include "ui/page_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_test_support.h"

namespace {

class PageFrame : public ::testing::Test {
protected:
    void SetUp() override { PrepareRunForPages(); }
    void TearDown() override { ReleaseRunForPages(); }
};

std::string Loaded(UINT id) {
    char* text = LoadResourceString(id);
    std::string result = AnsiToUtf8(text);
    delete[] text;
    return result;
}

TEST_F(PageFrame, StringTableHoldsEveryTextExactly) {
    const struct {
        UINT id;
        const char* text;
    } strings[] = {
        {129, "Willkommen beim Setup-Assistenten für %s"},
        {130, "Der Setup-Assistent wird %s auf Ihrem Computer installieren. Um forzufahren, "
              "klicken Sie auf Weiter."},
        {133, "%s wird in das folgende Verzeichnis installiert:"},
        {134, "Zielverzeichnis auswählen:"},
        {135, "%s Setup führt die gewünschten Aktionen durch. Bitte warten..."},
        {136, "Der Setup-Assistent hat %s erfolgreich installiert. Klicken Sie auf "
              "Fertigstellen, um den Assistenten zu beenden."},
        {137, "Um diese Anwendung installieren zu können, müssen Sie\nals Administrator "
              "eingeloggt sein.\n\nBitte loggen Sie sich als Administrator ein und "
              "versuchen\nSie es erneut."},
        {138, "Setup"},
        {139, "Setup-Archiv beschädigt!"},
        {140, "Die Datei \"%s\" konnte nicht kopiert werden!\n\nVergewissen Sie sich, dass die "
              "Datei und das Zielverzeichnis\nnicht schreibgeschützt sind!"},
        {141, "Fehler"},
        {142, "Der Dienst \"%s\" konnte nicht installiert werden."},
        {143, "Info..."},
    };
    for (const auto& entry : strings) {
        EXPECT_EQ(Loaded(entry.id), entry.text) << "string " << entry.id;
    }
}

TEST_F(PageFrame, GermanTextsArriveInCodePage1252) {
    ASSERT_EQ(GetACP(), 1252u) << "the tests expect a Western code page";
    char* text = LoadResourceString(IDS_WELCOME_TITLE);
    EXPECT_NE(std::string(text).find("f\xFCr"), std::string::npos);
    delete[] text;
}

TEST_F(PageFrame, MissingStringIsEmpty) {
    for (UINT id : {0u, 131u, 132u, 144u, 60000u}) {
        char* text = LoadResourceString(id);
        EXPECT_STREQ(text, "") << "string " << id;
        delete[] text;
    }
}

TEST_F(PageFrame, FormatPutsTheTextInPlaceOfPercentS) {
    const std::string longText(3000, 'x');
    const struct {
        const char* format;
        const char* text;
        std::string expected;
    } cases[] = {
        {"%s wird installiert", "Beispiel", "Beispiel wird installiert"},
        {"Titel: %s", "", "Titel: "},
        {"%s", "100% %s %d", "100% %s %d"}, // the text is never a format
        {"[%s]", longText.c_str(), "[" + longText + "]"},
    };
    for (const auto& entry : cases) {
        char* result = FormatWithString(entry.format, entry.text);
        EXPECT_EQ(std::string(result), entry.expected) << entry.format;
        delete[] result;
    }
}

TEST_F(PageFrame, CentringUsesTheDesktopSizeOnly) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const SIZE sizes[] = {{504, 379}, {201, 99}, {desktop.right + 200, 50}};
    for (SIZE size : sizes) {
        HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 7, 9, size.cx, size.cy, nullptr,
                                      nullptr, nullptr, nullptr);
        CentreOnDesktop(window);
        RECT placed;
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, ((desktop.right - desktop.left) - size.cx) / 2) << size.cx;
        EXPECT_EQ(placed.top, ((desktop.bottom - desktop.top) - size.cy) / 2) << size.cy;
        EXPECT_EQ(placed.right - placed.left, size.cx);
        DestroyWindow(window);
    }
}

struct PageCase {
    const char* name;
    int templateId;
    DLGPROC procedure;
};

const PageCase kPages[] = {
    {"welcome", IDD_WELCOME_PAGE, WelcomePageProc},
    {"licence", IDD_LICENCE_PAGE, LicencePageProc},
    {"readme", IDD_README_PAGE, ReadmePageProc},
    {"userinfo", IDD_USER_INFO_PAGE, UserInfoPageProc},
    {"destination", IDD_DESTINATION_PAGE, DestinationPageProc},
    {"ready", IDD_READY_PAGE, ReadyPageProc},
    {"progress", IDD_PROGRESS_PAGE, ProgressPageProc},
    {"finish", IDD_FINISH_PAGE, FinishPageProc},
};

TEST_F(PageFrame, EveryPageOpensWithTheSharedFrame) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    for (const PageCase& page : kPages) {
        HWND window = CreateDialogParamA(::Run.Instance, MAKEINTRESOURCEA(page.templateId), nullptr,
                                         page.procedure, PageParameter(page.templateId));
        ASSERT_NE(window, nullptr) << page.name;
        EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(window, IDC_TITLE, WM_GETFONT, 0, 0)),
                  ::Run.TitleFont)
            << page.name;
        EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0) << page.name;
        EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0) << page.name;
        char entry[32] = {};
        GetMenuStringA(GetSystemMenu(window, FALSE), IDM_INFO, entry, sizeof entry, MF_BYCOMMAND);
        EXPECT_STREQ(entry, "Info...") << page.name;
        RECT placed;
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, ((desktop.right - desktop.left) - (placed.right - placed.left)) / 2)
            << page.name;
        char caption[32] = {};
        GetWindowTextA(window, caption, sizeof caption);
        EXPECT_STREQ(caption, "Setup") << page.name;
        DestroyWindow(window);
    }
}

// Which controls a page paints on white, and which keep the system colours.
TEST_F(PageFrame, WhiteControlsFollowEachPage) {
    const struct {
        int templateId;
        DLGPROC procedure;
        std::vector<int> white;
        std::vector<int> standard;
    } cases[] = {
        {IDD_WELCOME_PAGE, WelcomePageProc, {50, 52, 710, 760}, {}},
        {IDD_LICENCE_PAGE, LicencePageProc, {50, 51, 52}, {1000, 1001, 1008}},
        {IDD_README_PAGE, ReadmePageProc, {50, 51, 52}, {1008}},
        {IDD_USER_INFO_PAGE, UserInfoPageProc, {50, 51, 52}, {1006, 1007}},
        {IDD_DESTINATION_PAGE, DestinationPageProc, {50, 51, 52}, {715, 718}},
        {IDD_READY_PAGE, ReadyPageProc, {50, 51, 52}, {711}},
        {IDD_PROGRESS_PAGE, ProgressPageProc, {50, 51, 52}, {710}},
        {IDD_FINISH_PAGE, FinishPageProc, {50, 52, 501, 502, 711}, {}},
    };
    HDC dc = GetDC(nullptr);
    for (const auto& page : cases) {
        HWND window = CreateDialogParamA(::Run.Instance, MAKEINTRESOURCEA(page.templateId), nullptr,
                                         page.procedure, PageParameter(page.templateId));
        auto brushFor = [&](int id) {
            return SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        };
        for (int id : page.white) {
            EXPECT_EQ(brushFor(id), reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)))
                << "page " << page.templateId << " control " << id;
        }
        for (int id : page.standard) {
            EXPECT_NE(brushFor(id), reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)))
                << "page " << page.templateId << " control " << id;
        }
        DestroyWindow(window);
    }
    ReleaseDC(nullptr, dc);
}

} // namespace

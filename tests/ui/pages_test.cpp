// Page states that follow from the run state, the progress arithmetic and the
// folder preselection of the browser.
#include "ui/page_frame.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_test_support.h"

namespace {

class Pages : public ::testing::Test {
protected:
    void SetUp() override { PrepareRunForPages(); }
    void TearDown() override { ReleaseRunForPages(); }

    HWND Open(int templateId, DLGPROC procedure) {
        return CreateDialogParamA(::Run.Instance, MAKEINTRESOURCEA(templateId), nullptr, procedure,
                                  PageParameter(templateId));
    }
};

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}
bool Visible(HWND page, int id) {
    return (GetWindowLongA(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
bool Checked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

TEST_F(Pages, TitleTextsCarryTheApplicationTitle) {
    std::snprintf(::Run.Settings.ApplicationTitle, kTextSize, "Beispiel");
    std::snprintf(::Run.DestinationDirectory, kPathSize, "C:\\Programme\\Beispiel");
    const struct {
        int templateId;
        DLGPROC procedure;
        int controlId;
        const char* text;
    } cases[] = {
        {IDD_WELCOME_PAGE, WelcomePageProc, 50, "Willkommen beim Setup-Assistenten für Beispiel"},
        {IDD_WELCOME_PAGE, WelcomePageProc, 710,
         "Der Setup-Assistent wird Beispiel auf Ihrem Computer installieren. Um forzufahren, "
         "klicken Sie auf Weiter."},
        {IDD_DESTINATION_PAGE, DestinationPageProc, 718,
         "Beispiel wird in das folgende Verzeichnis installiert:"},
        {IDD_DESTINATION_PAGE, DestinationPageProc, 715, "C:\\Programme\\Beispiel"},
        {IDD_PROGRESS_PAGE, ProgressPageProc, 710,
         "Beispiel Setup führt die gewünschten Aktionen durch. Bitte warten..."},
        {IDD_FINISH_PAGE, FinishPageProc, 711,
         "Der Setup-Assistent hat Beispiel erfolgreich installiert. Klicken Sie auf "
         "Fertigstellen, um den Assistenten zu beenden."},
    };
    for (const auto& entry : cases) {
        HWND page = Open(entry.templateId, entry.procedure);
        EXPECT_EQ(ControlText(page, entry.controlId), entry.text)
            << entry.templateId << "/" << entry.controlId;
        DestroyWindow(page);
    }
}

TEST_F(Pages, ButtonsDisabledWhereThePageForbidsThem) {
    const struct {
        int templateId;
        DLGPROC procedure;
        bool next, back, cancel;
    } cases[] = {
        {IDD_WELCOME_PAGE, WelcomePageProc, true, false, true},
        {IDD_LICENCE_PAGE, LicencePageProc, false, true, true},
        {IDD_README_PAGE, ReadmePageProc, true, true, true},
        {IDD_USER_INFO_PAGE, UserInfoPageProc, true, true, true},
        {IDD_DESTINATION_PAGE, DestinationPageProc, true, true, true},
        {IDD_READY_PAGE, ReadyPageProc, true, true, true},
        {IDD_PROGRESS_PAGE, ProgressPageProc, false, false, false},
        {IDD_FINISH_PAGE, FinishPageProc, true, false, false},
    };
    for (const auto& entry : cases) {
        HWND page = Open(entry.templateId, entry.procedure);
        EXPECT_EQ(Enabled(page, IDC_NEXT), entry.next) << entry.templateId;
        EXPECT_EQ(Enabled(page, IDC_BACK), entry.back) << entry.templateId;
        EXPECT_EQ(Enabled(page, IDC_CANCEL), entry.cancel) << entry.templateId;
        DestroyWindow(page);
    }
}

TEST_F(Pages, LicenceStartsDeclinedAndShowsTheText) {
    char text[] = "{\\rtf1\\ansi Erste Zeile\\par Zweite Zeile\\par}";
    ::Run.LicenceText = text;
    HWND page = Open(IDD_LICENCE_PAGE, LicencePageProc);
    EXPECT_TRUE(Checked(page, IDC_DECLINE_RADIO));
    EXPECT_FALSE(Checked(page, IDC_ACCEPT_RADIO));
    std::string shown = ControlText(page, IDC_TEXT_EDIT);
    EXPECT_NE(shown.find("Erste Zeile"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("rtf1"), std::string::npos) << "shown as RTF, not as source";
    DestroyWindow(page);
    ::Run.LicenceText = nullptr;
}

TEST_F(Pages, TextPagesWithoutTextShowAnEmptyControl) {
    for (int templateId : {IDD_LICENCE_PAGE, IDD_README_PAGE}) {
        HWND page =
            Open(templateId, templateId == IDD_LICENCE_PAGE ? LicencePageProc : ReadmePageProc);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ControlText(page, IDC_TEXT_EDIT), "");
        DestroyWindow(page);
    }
}

TEST_F(Pages, FinishCheckBoxesShownOnlyWhenSwitchedOn) {
    for (int readme = 0; readme < 2; ++readme) {
        for (int launch = 0; launch < 2; ++launch) {
            ::Run.Settings.DoneShowReadme = readme;
            ::Run.Settings.DoneShowLaunch = launch;
            HWND page = Open(IDD_FINISH_PAGE, FinishPageProc);
            EXPECT_EQ(Visible(page, IDC_README_CHECK), readme == 1);
            EXPECT_EQ(Visible(page, IDC_LAUNCH_CHECK), launch == 1);
            EXPECT_FALSE(Checked(page, IDC_README_CHECK));
            EXPECT_FALSE(Checked(page, IDC_LAUNCH_CHECK));
            DestroyWindow(page);
        }
    }
}

TEST_F(Pages, ProgressFollowsTheInstalledBytes) {
    const struct {
        int32_t bytesPerPercent;
        std::vector<int32_t> chunks;
        int32_t installed;
        int position;
    } cases[] = {
        {4096, {20480, 20480}, 40960, 10}, // 409600 application bytes
        {4096, {20480, 4095}, 24575, 5},
        {4096, {409600}, 409600, 100},
        {4096, {409600, 20480, 99}, 430179, 100}, // totals cut to whole hundreds
        {0, {50}, 50, 100},                       // under 100 bytes in all
        {1, {INT_MAX, 20480}, INT_MAX, 100},      // never wraps around
    };
    for (const auto& entry : cases) {
        ::Run.BytesInstalled = 0;
        ::Run.BytesPerPercent = entry.bytesPerPercent;
        ::Run.ProgressPage = Open(IDD_PROGRESS_PAGE, ProgressPageProc);
        SendDlgItemMessageA(::Run.ProgressPage, IDC_PROGRESS_BAR, PBM_SETRANGE, 0,
                            MAKELPARAM(0, 100));
        for (int32_t chunk : entry.chunks) {
            ReportInstallProgress(chunk);
        }
        EXPECT_EQ(::Run.BytesInstalled, entry.installed);
        EXPECT_EQ(SendDlgItemMessageA(::Run.ProgressPage, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0),
                  entry.position)
            << "bytes per percent " << entry.bytesPerPercent;
        DestroyWindow(::Run.ProgressPage);
        ::Run.ProgressPage = nullptr;
    }
}

// A window standing in for the folder browser: it keeps the selection it is sent.
std::string Selection;
WPARAM SelectionIsPath = 0;
int SelectionsSent = 0;

LRESULT CALLBACK FakeBrowser(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BFFM_SETSELECTIONA) {
        Selection = reinterpret_cast<const char*>(lParam);
        SelectionIsPath = wParam;
        ++SelectionsSent;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFakeBrowser() {
    WNDCLASSA type = {};
    type.lpfnWndProc = FakeBrowser;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "TolvanexFakeBrowser";
    RegisterClassA(&type);
    return CreateWindowExA(0, type.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           type.hInstance, nullptr);
}

TEST_F(Pages, BrowserPreselectsTheFolderHoldingTheDestination) {
    const std::string full(kPathSize - 1, 'x');
    const struct {
        std::string destination;
        std::string selected;
    } cases[] = {
        {"C:\\Programme\\App", "C:\\Programme\\"},
        {"C:\\Programme\\App\\", "C:\\Programme\\App\\"},
        {"C:\\", "C:\\"},
        {"D:\\Apps", "D:\\"},
        {"\\Apps", "\\Apps\\"}, // the first character is never a cut
        {"Apps", "Apps\\"},
        {"", "\\"},
        {full, full}, // no room for the backslash
    };
    HWND browser = CreateFakeBrowser();
    for (const auto& entry : cases) {
        std::snprintf(::Run.DestinationDirectory, kPathSize, "%s", entry.destination.c_str());
        SelectionsSent = 0;
        EXPECT_EQ(BrowseCallback(browser, BFFM_INITIALIZED, 0,
                                 reinterpret_cast<LPARAM>(::Run.DestinationDirectory)),
                  0);
        EXPECT_EQ(SelectionsSent, 1);
        EXPECT_EQ(Selection, entry.selected) << entry.destination;
        EXPECT_EQ(SelectionIsPath, static_cast<WPARAM>(TRUE));
        EXPECT_STREQ(::Run.DestinationDirectory, entry.destination.c_str());
    }
    SelectionsSent = 0;
    EXPECT_EQ(BrowseCallback(browser, BFFM_SELCHANGED, 0,
                             reinterpret_cast<LPARAM>(::Run.DestinationDirectory)),
              0);
    EXPECT_EQ(SelectionsSent, 0);
    DestroyWindow(browser);
}

} // namespace

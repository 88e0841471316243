// The wizard's page loop: each page a modal dialog, one at a time, in the
// order the page switches and the user's answers decide.
#include "driver/setup_driver.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "resources/resource_ids.h"
#include "script/setup_script.h"
#include "script/wizard_flow.h"
#include "system/bounded_text.h"
#include "ui/page_frame.h"

namespace {

// A page dialog that cannot be created counts as next, like any result
// other than cancel and back. The context outlives the modal page.
int ShowPage(int templateId, DLGPROC procedure, const void* context) {
    return static_cast<int>(DialogBoxParamA(Run.Instance, MAKEINTRESOURCEA(templateId), nullptr,
                                            procedure, reinterpret_cast<LPARAM>(context)));
}

// The whole file and a terminating zero; an empty text when the file is
// missing or unreadable, so its page still opens; null only when memory runs
// out (the page then shows no text). Release with delete[].
char* ReadWholeFile(const char* path) {
    char* text = nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            text = new (std::nothrow) char[static_cast<size_t>(size) + 1];
            if (text != nullptr) {
                size_t read = std::fread(text, 1, static_cast<size_t>(size), file);
                text[read] = '\0';
            }
        }
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    if (text == nullptr) {
        text = new (std::nothrow) char[1]();
    }
    return text;
}

// Reads the staged text anew for every showing and releases it as soon as
// the page has returned.
int ShowTextPage(int templateId, DLGPROC procedure, const char* fileName, char** text) {
    char path[MAX_PATH];
    if (!JoinBoundedText(path, sizeof path, Run.StagingDirectory, fileName)) {
        path[0] = '\0';
    }
    *text = ReadWholeFile(path);
    TextPageContext context{&CurrentPageFrame(), *text};
    int result = ShowPage(templateId, procedure, &context);
    delete[] * text;
    *text = nullptr;
    return result;
}

int ShowUserInfoPage() {
    UserInfoPageContext context{&CurrentPageFrame(), Run.RegisteredUserName,
                                Run.RegisteredCompanyName, Run.UserName, Run.CompanyName};
    return ShowPage(IDD_USER_INFO_PAGE, UserInfoPageProc, &context);
}

int ShowDestinationPage() {
    DestinationPageContext context{&CurrentPageFrame(), Run.DestinationDirectory};
    return ShowPage(IDD_DESTINATION_PAGE, DestinationPageProc, &context);
}

int ShowWizardStep(WizardStep step, void*) {
    switch (step) {
    case WizardStep::Welcome:
        return ShowPage(IDD_WELCOME_PAGE, WelcomePageProc, &CurrentPageFrame());
    case WizardStep::Licence:
        return ShowTextPage(IDD_LICENCE_PAGE, LicencePageProc, kLicenseFile, &Run.LicenceText);
    case WizardStep::Readme:
        return ShowTextPage(IDD_README_PAGE, ReadmePageProc, kReadmeFile, &Run.ReadmeText);
    case WizardStep::UserInfo:
        return ShowUserInfoPage();
    case WizardStep::Destination:
        return ShowDestinationPage();
    case WizardStep::Ready:
        return ShowPage(IDD_READY_PAGE, ReadyPageProc, &CurrentPageFrame());
    case WizardStep::Install:
        RunInstallation();
        return kPageNext;
    case WizardStep::Done:
        break;
    }
    return kPageCancel;
}

} // namespace

void RunWizard() {
    WizardSwitches switches{Run.Settings.ShowLicense != 0, Run.Settings.ShowReadme != 0,
                            Run.Settings.ShowUserInfo != 0};
    RunWizardSteps(switches, ShowWizardStep, nullptr);
}

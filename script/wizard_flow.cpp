#include "script/wizard_flow.h"

namespace {

WizardStep BackFromReadme(const WizardSwitches& s) {
    return s.showLicense ? WizardStep::Licence : WizardStep::Welcome;
}

WizardStep BackFromUserInfo(const WizardSwitches& s) {
    return s.showReadme ? WizardStep::Readme : BackFromReadme(s);
}

// The readme page is not on this way back, even when it is switched on.
WizardStep BackFromDestination(const WizardSwitches& s) {
    return s.showUserInfo ? WizardStep::UserInfo : BackFromReadme(s);
}

WizardStep BackFrom(WizardStep step, const WizardSwitches& s) {
    switch (step) {
    case WizardStep::Licence:
        return WizardStep::Welcome;
    case WizardStep::Readme:
        return BackFromReadme(s);
    case WizardStep::UserInfo:
        return BackFromUserInfo(s);
    case WizardStep::Destination:
        return BackFromDestination(s);
    case WizardStep::Ready:
        return WizardStep::Destination;
    default:
        return step; // the welcome page has no way back
    }
}

WizardStep ForwardFrom(WizardStep step) {
    switch (step) {
    case WizardStep::Welcome:
        return WizardStep::Licence;
    case WizardStep::Licence:
        return WizardStep::Readme;
    case WizardStep::Readme:
        return WizardStep::UserInfo;
    case WizardStep::UserInfo:
        return WizardStep::Destination;
    case WizardStep::Destination:
        return WizardStep::Ready;
    case WizardStep::Ready:
        return WizardStep::Install;
    default:
        return WizardStep::Done;
    }
}

// The names of each step's pages; the install step shows two.
struct StepPages {
    const char* first;
    const char* second;
};

StepPages PagesOf(WizardStep step) {
    switch (step) {
    case WizardStep::Welcome:
        return {"welcome", nullptr};
    case WizardStep::Licence:
        return {"license", nullptr};
    case WizardStep::Readme:
        return {"readme", nullptr};
    case WizardStep::UserInfo:
        return {"userinfo", nullptr};
    case WizardStep::Destination:
        return {"destination", nullptr};
    case WizardStep::Ready:
        return {"ready", nullptr};
    case WizardStep::Install:
        return {"progress", "finish"};
    default:
        return {nullptr, nullptr};
    }
}

} // namespace

bool IsWizardStepShown(WizardStep step, const WizardSwitches& switches) {
    switch (step) {
    case WizardStep::Licence:
        return switches.showLicense;
    case WizardStep::Readme:
        return switches.showReadme;
    case WizardStep::UserInfo:
        return switches.showUserInfo;
    case WizardStep::Done:
        return false;
    default:
        return true;
    }
}

WizardStep NextWizardStep(WizardStep step, int pageResult, const WizardSwitches& switches) {
    if (step == WizardStep::Install || step == WizardStep::Done) {
        return WizardStep::Done;
    }
    if (pageResult == kPageCancel) {
        return WizardStep::Done;
    }
    if (pageResult == kPageBack) {
        return BackFrom(step, switches);
    }
    return ForwardFrom(step);
}

void RunWizardSteps(const WizardSwitches& switches, ShowWizardStepFunction showStep,
                    void* context) {
    WizardStep step = WizardStep::Welcome;
    while (step != WizardStep::Done) {
        int result = IsWizardStepShown(step, switches) ? showStep(step, context) : kPageNext;
        step = NextWizardStep(step, result, switches);
    }
}

size_t ListWizardPages(const WizardSwitches& switches, const char* (&pages)[kMaxWizardPages]) {
    size_t count = 0;
    for (WizardStep step = WizardStep::Welcome; step != WizardStep::Done;
         step = NextWizardStep(step, kPageNext, switches)) {
        if (!IsWizardStepShown(step, switches)) {
            continue;
        }
        const StepPages names = PagesOf(step);
        const char* const stepPages[] = {names.first, names.second};
        for (const char* name : stepPages) {
            if (name != nullptr && count < kMaxWizardPages) {
                pages[count++] = name;
            }
        }
    }
    return count;
}

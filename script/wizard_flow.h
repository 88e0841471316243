// The order of the wizard's pages: which page follows which, given the
// result a page ended with and the setup script's three page switches. Kept
// apart from the dialogs so the whole navigation can be checked without them,
// and below the programs so the builder lists the same pages setup.exe shows.
#pragma once

#include <cstddef>

// The results a modal page ends with.
constexpr int kPageNext = 1;
constexpr int kPageCancel = 2; // only after the user confirmed the cancel
constexpr int kPageBack = 12;

// One step of the wizard. Install runs the installation, which shows the
// progress page and then the finish page; Done ends the wizard.
enum class WizardStep { Welcome, Licence, Readme, UserInfo, Destination, Ready, Install, Done };

struct WizardSwitches {
    bool showLicense;
    bool showReadme;
    bool showUserInfo;
};

// Whether the step's page is shown; a step that is switched off passes on at
// once as if its page had returned next.
bool IsWizardStepShown(WizardStep step, const WizardSwitches& switches);

// The step that follows `step` after its page ended with `pageResult`.
// Cancel ends the wizard from every page; back leads to the nearest earlier
// page that is switched on, except from the destination page, whose way back
// passes over the readme page.
WizardStep NextWizardStep(WizardStep step, int pageResult, const WizardSwitches& switches);

// Shows the page of one step and returns its result; for Install it runs the
// installation (whose result is not looked at).
using ShowWizardStepFunction = int (*)(WizardStep step, void* context);

// Walks the steps from the welcome page until the wizard is done.
void RunWizardSteps(const WizardSwitches& switches, ShowWizardStepFunction showStep, void* context);

// The longest page list: every step shown, the install step as two pages.
constexpr size_t kMaxWizardPages = 8;

// The pages a run that only goes forward shows, in order, by the names the
// builder reports ("welcome", "license", ... "progress", "finish"). Returns
// how many were stored; `pages` holds kMaxWizardPages.
size_t ListWizardPages(const WizardSwitches& switches, const char* (&pages)[kMaxWizardPages]);

#include "uninstall/removal_run.h"

namespace {

RemovalResult Verdict(RemovalOutcome outcome) {
    return RemovalResult{outcome, 0};
}

RemovalResult FromPathVerdict(PathVerdict verdict) {
    switch (verdict) {
    case PathVerdict::Removable:
    case PathVerdict::Empty:
        return Verdict(RemovalOutcome::Removed);
    case PathVerdict::Protected:
        return Verdict(RemovalOutcome::Refused);
    default:
        return Verdict(RemovalOutcome::Invalid);
    }
}

} // namespace

RemovalResult CheckStep(const RemovalStep& step, const ProtectedFolders& protectedFolders,
                        bool& mustPerform) {
    mustPerform = false;
    if (step.tooLong) {
        return Verdict(RemovalOutcome::Invalid);
    }
    PathVerdict verdict = PathVerdict::Removable;
    switch (step.kind) {
    case RemovalKind::Service:
        verdict = step.target.empty() ? PathVerdict::Invalid : PathVerdict::Removable;
        break;
    case RemovalKind::RegistryValue:
    case RemovalKind::RegistryKey: {
        bool isValue = step.kind == RemovalKind::RegistryValue;
        verdict = isValue && step.valueName.empty() ? PathVerdict::Invalid
                                                    : CheckRegistryKeyPath(step.target);
        if (verdict == PathVerdict::Removable &&
            IsSystemRegistryEntry(step.root, step.target, isValue, step.inCreatedKey)) {
            return Verdict(RemovalOutcome::SystemItem);
        }
        break;
    }
    case RemovalKind::Registration:
        break; // the platform layer guards the Uninstall key itself
    case RemovalKind::DestinationFolder:
        // Not listed in the log: an installation into a system folder
        // leaves that folder without a word.
        verdict = CheckRemovablePath(step.target, protectedFolders);
        if (verdict != PathVerdict::Removable) {
            return Verdict(RemovalOutcome::Removed);
        }
        break;
    default:
        verdict = CheckRemovablePath(step.target, protectedFolders);
        if (verdict == PathVerdict::Removable && step.existedBefore) {
            return Verdict(RemovalOutcome::ExistedBefore);
        }
        break;
    }
    mustPerform = verdict == PathVerdict::Removable;
    return FromPathVerdict(verdict);
}

RemovalReport RunRemovalPlan(const RemovalPlan& plan, const ProtectedFolders& protectedFolders,
                             const RemovalCallbacks& callbacks) {
    RemovalReport report;
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const RemovalStep& step = plan.steps[i];
        if (callbacks.progress != nullptr) {
            callbacks.progress(step, i, plan.steps.size(), callbacks.context);
        }
        bool mustPerform = false;
        RemovalResult result = CheckStep(step, protectedFolders, mustPerform);
        if (mustPerform) {
            result = callbacks.perform(step, callbacks.context);
        }
        if (callbacks.done != nullptr) {
            callbacks.done(step, result, callbacks.context);
        }
        if (result.outcome != RemovalOutcome::Removed) {
            report.failures.push_back(RemovalFailure{step, result});
        }
    }
    return report;
}

// A folder that is not empty once everything of the installation inside it
// is gone holds what a user put there: keeping it is what should happen.
// Anything of the installation still inside is a failure of its own.
int ExitCodeFor(const RemovalReport& report) {
    for (const RemovalFailure& failure : report.failures) {
        RemovalKind kind = failure.step.kind;
        bool folder = kind == RemovalKind::Folder || kind == RemovalKind::ShellFolder ||
                      kind == RemovalKind::DestinationFolder;
        if (!folder || failure.result.outcome != RemovalOutcome::NotEmpty) {
            return kExitIncomplete;
        }
    }
    return kExitRemoved;
}

#include "placeholders.h"

#include "placeholders_platform.h"
#include "setup_script.h"
#include "system/bounded_text.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t kReplaceResultSize = 4096;

char ReplaceResult[kReplaceResultSize];
PlaceholderValues Values = {};

// Appends at most what still fits before the terminator at size - 1; a cut
// result is what the callers of ReplaceAll are promised.
void AppendReplaced(size_t* used, const char* text, size_t length) {
    char* end = ReplaceResult + *used;
    const size_t room = kReplaceResultSize - *used;
    *used += CopyBoundedPart(end, room, text, length) ? length : room - 1;
}

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// The folders cannot change while the program runs; asking the shell for
// them on every expansion made an installation of many files slow.
constexpr int kFolderCount = 4;
char FolderValues[kFolderCount][kPathSize];
bool FolderFetched[kFolderCount];

// The folder's path with a backslash, or an empty text for a folder that
// cannot be named: a lone backslash would turn relative paths into rooted ones.
const char* FolderValue(PlaceholderFolder folder) {
    const int index = static_cast<int>(folder);
    char* buffer = FolderValues[index];
    if (!FolderFetched[index]) {
        FetchPlaceholderFolder(folder, buffer);
        if (buffer[0] != '\0') {
            // A folder of 259 characters keeps none: no expansion can hold it whole.
            (void)EnsureTrailingBackslash(buffer, kPathSize);
        }
        FolderFetched[index] = true;
    }
    return buffer;
}

void ReplaceInWorkBuffer(char* work, const char* token, const char* value) {
    const char* result = ReplaceAll(work, token, value);
    if (result != work) {
        (void)CopyBoundedText(work, kPathSize, result); // cut by design, as documented
    }
}

} // namespace

void SetPlaceholderValues(const PlaceholderValues& values) {
    Values = values;
}

const char* ReplaceAll(const char* text, const char* find, const char* replacement) {
    if (find == nullptr || find[0] == '\0') {
        return text;
    }
    const char* match = std::strstr(text, find);
    if (match == nullptr) {
        return text;
    }
    const size_t findLength = std::strlen(find);
    replacement = TextOrEmpty(replacement);
    const size_t replacementLength = std::strlen(replacement);
    size_t used = 0;
    const char* rest = text;
    for (; match != nullptr; match = std::strstr(rest, find)) {
        AppendReplaced(&used, rest, static_cast<size_t>(match - rest));
        AppendReplaced(&used, replacement, replacementLength);
        rest = match + findLength;
    }
    AppendReplaced(&used, rest, std::strlen(rest));
    return ReplaceResult;
}

char* ExpandPlaceholders(const char* text) {
    char* work = new (std::nothrow) char[kPathSize];
    if (work == nullptr) {
        return nullptr;
    }
    (void)CopyBoundedText(work, kPathSize, TextOrEmpty(text)); // cut by design, as documented

    ReplaceInWorkBuffer(work, kDesktopToken, FolderValue(PlaceholderFolder::Desktop));
    ReplaceInWorkBuffer(work, kProgramsToken, FolderValue(PlaceholderFolder::Programs));
    ReplaceInWorkBuffer(work, kProgramFilesToken, TextOrEmpty(Values.programFilesDirectory));
    ReplaceInWorkBuffer(work, kInstallDirToken, TextOrEmpty(Values.destinationDirectory));
    ReplaceInWorkBuffer(work, kUserToken, TextOrEmpty(Values.userName));
    ReplaceInWorkBuffer(work, kCompanyToken, TextOrEmpty(Values.companyName));

    ReplaceInWorkBuffer(work, kWindowsDirToken, FolderValue(PlaceholderFolder::Windows));
    ReplaceInWorkBuffer(work, kSystemDirToken, FolderValue(PlaceholderFolder::System));
    return work;
}

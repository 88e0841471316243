#include "tools/builder/build_sources.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "script/placeholders.h"
#include "system/bounded_text.h"
#include "system/windows_names.h"

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
// Converts with iconv; false when a character has no place in `to`.
bool ConvertText(const std::string& text, const char* to, const char* from, std::string* result) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* next = &out[0];
    size_t outLeft = out.size();
    const size_t done = iconv(converter, &in, &inLeft, &next, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) {
        return false;
    }
    out.resize(out.size() - outLeft);
    *result = out;
    return true;
}
#endif

#ifdef _WIN32
// False when a character has no place in the code page.
bool WideToCodePage(const std::wstring& wide, UINT codePage, std::string* text) {
    text->clear();
    if (wide.empty()) {
        return true;
    }
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) {
        return false;
    }
    text->assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &(*text)[0], size, nullptr, &usedDefault);
    return !usedDefault;
}
#endif

// A relative path of the file system as CP1252 with "/", as setup.ini holds
// it before its separators become "\\".
bool ScriptText(const fs::path& relative, std::string* text) {
#ifdef _WIN32
    return WideToCodePage(relative.generic_wstring(), 1252, text);
#else
    return ConvertText(relative.generic_string(), "CP1252", "UTF-8", text);
#endif
}

// The path as the narrow file functions take it (on Windows in the ANSI code
// page); false when it cannot be written so.
bool NarrowPath(const fs::path& path, std::string* text) {
#ifdef _WIN32
    return WideToCodePage(path.wstring(), CP_ACP, text);
#else
    *text = path.string();
    return true;
#endif
}

bool HasWildcard(const std::string& part) {
    return part.find_first_of("*?") != std::string::npos;
}

} // namespace

// "*" any run of characters, "?" one character, byte-wise. Only the last
// star is ever gone back to: a later star matches wherever an earlier one
// would let it, so the work grows with the name times the pattern, never
// exponentially with the stars.
bool MatchName(const char* pattern, const char* name) {
    const char* star = nullptr;   // the last star passed
    const char* resume = nullptr; // where the name goes on after it
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != '\0' && (*pattern == '?' || *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

namespace {

std::vector<std::string> SplitParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

struct Match {
    fs::path path;
    fs::path kept; // the relative path kept below the target folder
};

struct Walk {
    std::vector<std::string> parts;
    std::vector<Match>* matches;
    std::error_code error;
    size_t room = 0;   // matches that may still be added
    bool full = false; // one more matched than there was room for
};

// Adds a match while there is room: the walk stops at the limit instead of
// listing a tree far larger than a payload holds.
void AddMatch(Match match, Walk* walk) {
    if (walk->matches->size() >= walk->room) {
        walk->full = true;
        return;
    }
    walk->matches->push_back(std::move(match));
}

// Every regular file below directory, paths kept relative to anchor.
void AddTree(const fs::path& directory, const fs::path& anchor, Walk* walk) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(directory, error), end;
         !error && !walk->full && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            AddMatch({it->path(), it->path().lexically_relative(anchor)}, walk);
        }
    }
    if (error && !walk->error) {
        walk->error = error;
    }
}

// Matches parts[index...] below directory; anchor is where "**" stood, or
// empty before one.
void MatchParts(const fs::path& directory, size_t index, const fs::path& anchor, Walk* walk) {
    const std::string& part = walk->parts[index];
    const bool last = index + 1 == walk->parts.size();
    if (part == "**") {
        const fs::path from = anchor.empty() ? directory : anchor;
        if (last) {
            AddTree(directory, from, walk);
            return;
        }
        MatchParts(directory, index + 1, from, walk);
        std::error_code error;
        for (fs::recursive_directory_iterator it(directory, error), end;
             !error && !walk->full && it != end; it.increment(error)) {
            if (it->is_directory(error)) {
                MatchParts(it->path(), index + 1, from, walk);
            }
        }
        return;
    }
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && !walk->full && it != end;
         it.increment(error)) {
        std::string name;
        if (!ScriptText(it->path().filename(), &name) || !MatchName(part.c_str(), name.c_str())) {
            continue;
        }
        if (last && it->is_regular_file(error)) {
            AddMatch({it->path(), anchor.empty() ? it->path().filename()
                                                 : it->path().lexically_relative(anchor)},
                     walk);
        } else if (!last && it->is_directory(error)) {
            MatchParts(it->path(), index + 1, anchor, walk);
        }
    }
}

bool EndsInPlaceholder(const std::string& text) {
    for (const char* token : kPlaceholderTokens) {
        const std::string t = token;
        if (text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0) {
            return true;
        }
    }
    return false;
}

std::string JoinTarget(const std::string& folder, const std::string& kept) {
    std::string target = folder;
    if (!target.empty() && target.back() != '\\' && target.back() != '/' &&
        !EndsInPlaceholder(target)) {
        target.push_back('\\');
    }
    for (char c : kept) {
        target.push_back(c == '/' ? '\\' : c);
    }
    return target;
}

// Why Windows cannot take a part of a kept path as a file or folder name;
// null when it can. `part` is CP1252.
const char* WindowsNameProblem(const std::string& part) {
    switch (FindNameProblem(part)) {
    case NameProblem::ControlCharacter:
        return "a control character";
    case NameProblem::ForbiddenCharacter:
        return "a character Windows forbids in names (< > : \" | ? *)";
    case NameProblem::TrailingDotOrBlank:
        return "a trailing dot or blank, which Windows drops";
    case NameProblem::DeviceName:
        return "a device name Windows reserves (CON, PRN, AUX, NUL, COM1, LPT1, ...)";
    case NameProblem::None:
        break;
    }
    return nullptr;
}

// The first part of a kept path ("/" separated) that Windows cannot take.
const char* KeptPathProblem(const std::string& kept) {
    size_t begin = 0;
    while (begin <= kept.size()) {
        size_t end = kept.find('/', begin);
        end = end == std::string::npos ? kept.size() : end;
        if (const char* problem = WindowsNameProblem(kept.substr(begin, end - begin))) {
            return problem;
        }
        begin = end + 1;
    }
    return nullptr;
}

bool Readable(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    fclose(file);
    return true;
}

// Length of the root a folder path starts with: a placeholder, a drive
// ("C:\\"), a leading separator, or nothing.
size_t RootLength(const std::string& path) {
    for (const char* token : kPlaceholderTokens) {
        const std::string t = token;
        if (path.compare(0, t.size(), t) == 0) {
            return t.size();
        }
    }
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        return 3;
    }
    return !path.empty() && (path[0] == '\\' || path[0] == '/') ? 1 : 0;
}

std::string FolderKey(std::string folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    for (char& c : folder) {
        c = c == '/' ? '\\' : LowerAscii(c);
    }
    return folder;
}

struct FolderPlan {
    std::vector<std::string> folders;
    std::set<std::string> seen;
};

// Adds the folder after its missing parents below the root.
void AddFolder(const std::string& folder, FolderPlan* plan) {
    std::string trimmed = folder;
    while (trimmed.size() > RootLength(trimmed) &&
           (trimmed.back() == '\\' || trimmed.back() == '/')) {
        trimmed.pop_back();
    }
    const size_t root = RootLength(trimmed);
    if (trimmed.size() <= root) {
        return; // the root itself exists or is made by setup.exe
    }
    if (plan->seen.count(FolderKey(trimmed)) != 0) {
        return;
    }
    const size_t cut = trimmed.find_last_of("\\/");
    if (cut != std::string::npos && cut >= root) {
        AddFolder(trimmed.substr(0, cut), plan);
    }
    plan->seen.insert(FolderKey(trimmed));
    plan->folders.push_back(trimmed);
}

} // namespace

std::string FileSystemPath(const std::string& scriptPath) {
#ifdef _WIN32
    return scriptPath;
#else
    std::string converted;
    return ConvertText(scriptPath, "UTF-8", "CP1252", &converted) ? converted : scriptPath;
#endif
}

bool CollectSources(const std::string& baseDirectory, const std::string& pattern,
                    const std::string& targetFolder, int line, size_t limit,
                    std::vector<SourceFile>* files, std::string* problem) {
    // Names are matched as CP1252, like the pattern; the fixed folders before
    // the first wildcard are taken as the file system names them.
    const std::string fsPattern = FileSystemPath(pattern);
    Walk walk{SplitParts(pattern), nullptr, {}};
    std::vector<Match> matches;
    walk.matches = &matches;
    walk.room = limit > files->size() ? limit - files->size() : 0;
    const bool absolute = !fsPattern.empty() && (fsPattern[0] == '/' || fsPattern[0] == '\\' ||
                                                 (fsPattern.size() > 1 && fsPattern[1] == ':'));
    fs::path base = absolute ? fs::path(fsPattern).root_path() : fs::path(baseDirectory);
    size_t first = 0;
    if (absolute && fsPattern.size() > 1 && fsPattern[1] == ':' && !walk.parts.empty()) {
        first = 1; // the drive is part of the root
    }
    const std::vector<std::string> fsParts = SplitParts(fsPattern);
    while (first < walk.parts.size() && first < fsParts.size() && !HasWildcard(walk.parts[first])) {
        base /= fsParts[first++];
    }
    std::error_code error;
    if (first == walk.parts.size()) {
        if (fs::is_directory(base, error)) {
            AddTree(base, base, &walk);
        } else if (fs::is_regular_file(base, error)) {
            AddMatch({base, base.filename()}, &walk);
        }
    } else if (fs::is_directory(base, error)) {
        walk.parts.erase(walk.parts.begin(), walk.parts.begin() + first);
        MatchParts(base, 0, fs::path(), &walk);
    }
    if (walk.full) {
        *problem = pattern + ": more files than a payload holds (65,534 entries, setup.ini and the "
                             "support files included)";
        return false;
    }
    if (walk.error) {
        *problem = base.string() + ": " + walk.error.message();
        return false;
    }
    if (matches.empty()) {
        *problem = pattern + ": matches no file";
        return false;
    }
    std::vector<SourceFile> found;
    for (const Match& match : matches) {
        std::string kept;
        std::string source;
        if (!ScriptText(match.kept, &kept) || !NarrowPath(match.path, &source)) {
            *problem = match.path.string() + ": name cannot be written in CP1252";
            return false;
        }
        if (const char* nameProblem = KeptPathProblem(kept)) {
            *problem = source + ": name setup.exe cannot create on Windows: " + nameProblem;
            return false;
        }
        if (!Readable(source)) {
            *problem = source + ": cannot be read";
            return false;
        }
        // Sorted by the kept path as setup.ini will hold it.
        found.push_back({source, kept, line});
    }
    std::sort(found.begin(), found.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.target < b.target; });
    for (SourceFile& file : found) {
        file.target = JoinTarget(targetFolder, file.target);
        files->push_back(file);
    }
    return true;
}

std::vector<std::string> PlanFolders(const std::vector<std::string>& listed,
                                     const std::vector<std::string>& targets) {
    FolderPlan plan;
    for (const std::string& folder : listed) {
        AddFolder(folder, &plan);
    }
    for (const std::string& target : targets) {
        const size_t cut = target.find_last_of("\\/");
        if (cut != std::string::npos) {
            AddFolder(target.substr(0, cut), &plan);
        }
    }
    return plan.folders;
}

std::string Utf8FromScriptText(const std::string& text) {
#ifdef _WIN32
    const int wide =
        MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) {
        return text;
    }
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), &buffer[0], wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, &result[0], bytes, nullptr, nullptr);
    return result;
#else
    return FileSystemPath(text);
#endif
}

#include "tests/robot/robot_windows.h"

#include <commctrl.h>

#include <cwctype>

namespace {

constexpr UINT kAnswerLimitMs = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;

// Controls that tell the wizard's pages apart.
struct PageSignature {
    int templateId;
    std::vector<int> present;
    std::vector<int> absent;
};

const std::vector<PageSignature>& PageSignatures() {
    static const std::vector<PageSignature> signatures = {
        {101, {1, 12, 2, 710, 760, 50, 52}, {}},
        {107, {1000, 1001, 301, 1008}, {}},
        {115, {1007, 301, 1006, 302}, {}},
        {117, {718, 196, 715}, {}},
        {120, {711, 51}, {}},
        {121, {1500, 710}, {}},
        {122, {711, 501, 502}, {51}},
        {130, {1009, 1010}, {}},
        {131, {301, 1008}, {1000}},
    };
    return signatures;
}

bool MatchesTemplate(HWND window, int templateId) {
    for (const PageSignature& signature : PageSignatures()) {
        if (signature.templateId != templateId) {
            continue;
        }
        for (int id : signature.present) {
            if (GetDlgItem(window, id) == nullptr) {
                return false;
            }
        }
        for (int id : signature.absent) {
            if (GetDlgItem(window, id) != nullptr) {
                return false;
            }
        }
        return true;
    }
    return false;
}

std::string ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return Narrow(name);
}

bool IsMessageBox(HWND window) {
    HWND text = GetDlgItem(window, kMessageBoxTextId);
    return ClassName(window) == "#32770" && text != nullptr && ClassName(text) == "Static";
}

bool BelongsTo(HWND window, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return processId == 0 || owner == processId;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> result;
    for (HWND window : windows) {
        if (IsWindowVisible(window) && BelongsTo(window, processId)) {
            result.push_back(window);
        }
    }
    return result;
}

std::string NormaliseLineEnds(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

// Returns once the window's thread has handled everything sent to it before,
// or sits in a dialog of its own, or after a short while if it is busy.
void WaitUntilHandled(HWND window) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &ignored);
}

// Posted input is read by the program's message loop after everything sent;
// give it a few rounds of its loop.
void WaitForPostedInput(HWND window) {
    for (int round = 0; round < 4; ++round) {
        Sleep(50);
        WaitUntilHandled(window);
    }
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    DWORD threadId = GetWindowThreadProcessId(window, nullptr);
    if (GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus != nullptr &&
        (thread.hwndFocus == window || IsChild(window, thread.hwndFocus))) {
        return thread.hwndFocus;
    }
    return window;
}

void PostKey(HWND target, UINT down, UINT up, UINT key, LPARAM extraFlags) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, down, key, 1 | scan | extraFlags);
    PostMessageW(target, up, key, 1 | scan | extraFlags | 0xC0000000);
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

} // namespace

std::wstring Widen(const std::string& text) {
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length,
                        nullptr, nullptr);
    return narrow;
}

bool StartProgram(const std::vector<std::string>& arguments, PROCESS_INFORMATION* started,
                  std::string* error) {
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(Widen(argument));
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, started)) {
        *error = "cannot start program, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

HWND FindWizardWindow(DWORD processId, const std::string& title, int templateId,
                      const std::vector<HWND>& skip) {
    for (HWND window : TopLevelWindows(processId)) {
        bool skipped = false;
        for (HWND other : skip) {
            skipped = skipped || other == window;
        }
        if (skipped || IsMessageBox(window)) {
            continue;
        }
        if (title != "*" && ReadText(window) != title) {
            continue;
        }
        if (templateId == 0 || MatchesTemplate(window, templateId)) {
            return window;
        }
    }
    return nullptr;
}

HWND FindMessageBox(DWORD processId) {
    for (HWND window : TopLevelWindows(processId)) {
        if (IsMessageBox(window)) {
            return window;
        }
    }
    return nullptr;
}

bool IsKnownTemplate(int templateId) {
    for (const PageSignature& signature : PageSignatures()) {
        if (signature.templateId == templateId) {
            return true;
        }
    }
    return false;
}

std::string ReadText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerLimitMs,
                             &length)) {
        // A program that pumps no messages still has the texts it was given.
        wchar_t text[4096] = {};
        InternalGetWindowText(window, text, 4096);
        return NormaliseLineEnds(Narrow(text));
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_NORMAL, kAnswerLimitMs, &copied);
    text.resize(copied);
    return NormaliseLineEnds(Narrow(text));
}

std::string MessageBoxText(HWND box) {
    return ReadText(GetDlgItem(box, kMessageBoxTextId));
}

bool IsChecked(HWND control) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &state);
    return state == BST_CHECKED;
}

int ProgressPosition(HWND bar) {
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &position)) {
        return -1;
    }
    return static_cast<int>(position);
}

void ClickButton(HWND button) {
    // Posted like a mouse click: a dialog the click opens runs its own
    // message loop, which a sent message would keep from painting.
    PostMessageW(button, BM_CLICK, 0, 0);
    WaitForPostedInput(button);
}

void TypeText(HWND edit, const std::string& text) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, kAnswerLimitMs, &ignored);
    for (wchar_t c : Widen(text)) {
        PostMessageW(edit, WM_CHAR, c, 1);
    }
    WaitForPostedInput(edit);
}

bool PressKey(HWND window, const std::string& name) {
    static const struct {
        const char* name;
        UINT key;
    } keys[] = {{"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"tab", VK_TAB},
                {"space", VK_SPACE},   {"up", VK_UP},        {"down", VK_DOWN},
                {"left", VK_LEFT},     {"right", VK_RIGHT}};
    HWND target = FocusedControl(window);
    if (name.size() == 5 && name.compare(0, 4, "alt+") == 0 && std::iswalnum(name[4])) {
        UINT letter = static_cast<UINT>(std::towupper(static_cast<wint_t>(name[4])));
        PostKey(target, WM_SYSKEYDOWN, WM_SYSKEYUP, letter, 1 << 29);
        WaitForPostedInput(window);
        return true;
    }
    for (const auto& key : keys) {
        if (name == key.name) {
            PostKey(target, WM_KEYDOWN, WM_KEYUP, key.key, 0);
            WaitForPostedInput(window);
            return true;
        }
    }
    return false;
}

void SendSystemCommand(HWND window, WPARAM command) {
    // The system menu posts its commands too.
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
    WaitForPostedInput(window);
}

std::string DescribeControls(HWND window) {
    std::string description;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        description += "    control " + std::to_string(GetDlgCtrlID(child)) + " " +
                       ClassName(child) + " \"" + ReadText(child) + "\"" +
                       (IsWindowVisible(child) ? " visible" : " hidden") +
                       (IsWindowEnabled(child) ? " enabled" : " disabled") +
                       (IsChecked(child) ? " checked" : "") + "\n";
    }
    return description;
}

// Stands in for a program that the finish page starts (Notepad, the installed
// application). It records how it was started in the file named by the
// environment variable TOLVANEX_STANDIN_LOG, one line per start, the lines in
// the order the processes were created:
//   <creation time> <program file name> show=<show command> cmdline=<command line>
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kRetryMs = 20;
constexpr int kAttempts = 500;

std::string ToUtf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length) - 1);
    return utf8;
}

std::string DescribeStart() {
    FILETIME created;
    FILETIME unused[3];
    GetProcessTimes(GetCurrentProcess(), &created, &unused[0], &unused[1], &unused[2]);
    unsigned long long time =
        (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    char stamp[32];
    wsprintfA(stamp, "%020I64u", time);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\') != nullptr ? wcsrchr(path, L'\\') + 1 : path;
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    return std::string(stamp) + " " + ToUtf8(name) + " show=" + std::to_string(show) +
           " cmdline=" + ToUtf8(GetCommandLineW());
}

// Opens the log for this process alone; other stand-ins wait their turn.
HANDLE OpenLogExclusively(const wchar_t* path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        HANDLE log = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            return log;
        }
        Sleep(kRetryMs);
    }
    return INVALID_HANDLE_VALUE;
}

std::string ReadAll(HANDLE file) {
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        content.append(chunk, read);
    }
    return content;
}

} // namespace

int main() {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TOLVANEX_STANDIN_LOG", path, MAX_PATH) == 0) {
        return 1;
    }
    HANDLE log = OpenLogExclusively(path);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    // Lines start with the creation time, so sorting them orders the starts.
    std::string line = DescribeStart() + "\n";
    std::string content = ReadAll(log);
    size_t at = 0;
    while (at < content.size() && content.compare(at, 20, line, 0, 20) < 0) {
        size_t end = content.find('\n', at);
        at = end == std::string::npos ? content.size() : end + 1;
    }
    content.insert(at, line);
    SetFilePointer(log, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(log, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    SetEndOfFile(log);
    CloseHandle(log);
    return 0;
}

#include "tools/builder/sign_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

// The printed line kept for the message; a longer one is cut.
constexpr size_t kLastLineLimit = 1024;

enum class Quoting { None, Single, Double };

// The variable reference that stands for a placeholder where it stands.
std::string VariableReference(const char* variable, Quoting quoting) {
#ifdef _WIN32
    // cmd.exe expands %NAME% once and reads no "%", "&" or "^" in what it
    // put in; inside quotes (Windows paths hold none) "&" and "^" are text,
    // and the C runtime takes the quoted path as one argument.
    const std::string reference = std::string("%") + variable + "%";
    return quoting == Quoting::Double ? reference : "\"" + reference + "\"";
#else
    const std::string reference = std::string("${") + variable + "}";
    switch (quoting) {
    case Quoting::Double:
        return reference;
    case Quoting::Single:
        return "'\"" + reference + "\"'";
    case Quoting::None:
        break;
    }
    return "\"" + reference + "\"";
#endif
}

// Keeps the last non-empty line of what the signer prints, bounded.
struct LastLine {
    std::string current;
    std::string last;
    void Add(const char* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const char c = bytes[i];
            if (c == '\n' || c == '\r') {
                if (!current.empty()) {
                    last = current;
                }
                current.clear();
            } else if (current.size() < kLastLineLimit) {
                current.push_back(c);
            }
        }
    }
    std::string Finish() {
        if (!current.empty()) {
            last = current;
        }
        return last;
    }
};

bool IsNonEmptyFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const bool hasByte = fgetc(file) != EOF;
    fclose(file);
    return hasByte;
}

#ifdef _WIN32
// Runs cmd.exe /d /s /c "line" with the two paths in its environment and its
// output (stdout and stderr) coming through a pipe. The exit code, or -1
// when it did not run.
int RunShell(const std::string& line, const std::string& inPath, const std::string& outPath,
             std::string* last) {
    if (!SetEnvironmentVariableA(kSignInVariable, inPath.c_str()) ||
        !SetEnvironmentVariableA(kSignOutVariable, outPath.c_str())) {
        return -1;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    int exitCode = -1;
    if (CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        char shell[MAX_PATH] = "cmd.exe";
        const DWORD length = GetEnvironmentVariableA("ComSpec", shell, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            strcpy(shell, "cmd.exe");
        }
        // /s: exactly the outermost pair of quotes is taken off, whatever
        // the line holds.
        const std::string text = std::string("\"") + shell + "\" /d /s /c \"" + line + "\"";
        std::vector<char> commandLine(text.begin(), text.end());
        commandLine.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &process);
        CloseHandle(writeEnd);
        if (started) {
            LastLine lines;
            char chunk[4096];
            DWORD count = 0;
            while (ReadFile(readEnd, chunk, sizeof(chunk), &count, nullptr) && count > 0) {
                lines.Add(chunk, count);
            }
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD code = 0;
            if (GetExitCodeProcess(process.hProcess, &code)) {
                exitCode = static_cast<int>(code);
            }
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            *last = lines.Finish();
        }
        CloseHandle(readEnd);
    }
    SetEnvironmentVariableA(kSignInVariable, nullptr);
    SetEnvironmentVariableA(kSignOutVariable, nullptr);
    return exitCode;
}
#else
// The process environment with the two paths set (earlier values of the
// variables left out).
std::vector<std::string> SignerEnvironment(const std::string& inPath, const std::string& outPath) {
    std::vector<std::string> environment;
    const std::string inPrefix = std::string(kSignInVariable) + "=";
    const std::string outPrefix = std::string(kSignOutVariable) + "=";
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (strncmp(*entry, inPrefix.c_str(), inPrefix.size()) != 0 &&
            strncmp(*entry, outPrefix.c_str(), outPrefix.size()) != 0) {
            environment.push_back(*entry);
        }
    }
    environment.push_back(inPrefix + inPath);
    environment.push_back(outPrefix + outPath);
    return environment;
}

// Runs /bin/sh -c line without a shell of our own around it; its output
// comes through a pipe. The exit code, or -1 when it did not run or ended
// by a signal.
int RunShell(const std::string& line, const std::string& inPath, const std::string& outPath,
             std::string* last) {
    std::vector<std::string> environment = SignerEnvironment(inPath, outPath);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(&entry[0]);
    }
    envp.push_back(nullptr);
    std::string shell = "sh", option = "-c", text = line;
    char* argv[] = {&shell[0], &option[0], &text[0], nullptr};
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        // The builder blocks the signals for its cleanup thread; the signer
        // gets them as usual.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[1]);
        execve("/bin/sh", argv, envp.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return -1;
    }
    LastLine lines;
    char chunk[4096];
    for (;;) {
        const ssize_t count = read(pipeEnds[0], chunk, sizeof(chunk));
        if (count > 0) {
            lines.Add(chunk, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    *last = lines.Finish();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

} // namespace

std::string SignShellLine(const std::string& command) {
    std::string line;
    Quoting quoting = Quoting::None;
    for (size_t i = 0; i < command.size();) {
        const char* variable = nullptr;
        size_t length = 0;
        if (command.compare(i, 4, "{in}") == 0) {
            variable = kSignInVariable;
            length = 4;
        } else if (command.compare(i, 5, "{out}") == 0) {
            variable = kSignOutVariable;
            length = 5;
        }
        if (variable != nullptr) {
            line += VariableReference(variable, quoting);
            i += length;
            continue;
        }
        const char c = command[i];
        line.push_back(c);
        ++i;
#ifdef _WIN32
        if (c == '"') {
            quoting = quoting == Quoting::Double ? Quoting::None : Quoting::Double;
        }
#else
        if (quoting == Quoting::Single) {
            quoting = c == '\'' ? Quoting::None : quoting;
        } else if (c == '\\' && i < command.size()) {
            line.push_back(command[i++]); // an escaped character ends no quote
        } else if (c == '\'' && quoting == Quoting::None) {
            quoting = Quoting::Single;
        } else if (c == '"') {
            quoting = quoting == Quoting::Double ? Quoting::None : Quoting::Double;
        }
#endif
    }
    return line;
}

std::string SignerPath(const std::string& path) {
#ifdef _WIN32
    return !path.empty() && path[0] == '-' ? ".\\" + path : path;
#else
    return !path.empty() && path[0] == '-' ? "./" + path : path;
#endif
}

bool RunSignCommand(const std::string& command, const std::string& inPath,
                    const std::string& outPath, std::string* failure) {
    const bool inPlace = command.find("{in}") == std::string::npos;
    if (!inPlace) {
        remove(outPath.c_str());
    }
    std::string last;
    const int exitCode =
        RunShell(SignShellLine(command), SignerPath(inPath), SignerPath(outPath), &last);
    if (exitCode != 0) {
        *failure = "signing command failed with exit code " + std::to_string(exitCode);
    } else if (!IsNonEmptyFile(outPath)) {
        *failure = "signing command left no signed file";
    } else {
        return true;
    }
    if (!last.empty()) {
        *failure += ": " + last;
    }
    return false;
}

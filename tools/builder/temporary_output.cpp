#include "tools/builder/temporary_output.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <thread>
#endif

#include "system/files.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// The MinGW trees' default thread model has no std::mutex.
class Lock {
public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
#else
using Lock = std::mutex;
#endif

// Guards the registered paths against the thread that removes them when a
// signal comes.
Lock registryLock;
std::vector<std::string> registered;

void RemovePath(const std::string& path) {
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error))) {
        fs::remove_all(path, error);
    } else {
        fs::remove(path, error);
    }
}

void ForgetLocked(const std::string& path) {
    for (size_t i = registered.size(); i-- > 0;) {
        if (registered[i] == path) {
            registered.erase(registered.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// Removes every registered path; the run ends right after.
void RemoveRegistered() {
    std::lock_guard<Lock> guard(registryLock);
    for (const std::string& path : registered) {
        RemovePath(path);
    }
    registered.clear();
}

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
    RemoveRegistered();
    return FALSE; // the default handler ends the process
}

void StartSignalCleanup() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
#else
// The signals arrive at one thread of their own, which may take locks and
// remove folders as no handler may; every other thread blocks them. A signal
// the run was started to ignore (nohup, a background job) stays ignored.
void StartSignalCleanup() {
    sigset_t watched;
    sigemptyset(&watched);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&watched, signal);
        }
    }
    if (pthread_sigmask(SIG_BLOCK, &watched, nullptr) != 0) {
        return;
    }
    std::thread([watched] {
        for (;;) {
            int signal = 0;
            if (sigwait(&watched, &signal) != 0) {
                continue;
            }
            RemoveRegistered();
            // Ends with the signal, as the caller expects of one.
            struct sigaction fallback {};
            fallback.sa_handler = SIG_DFL;
            sigaction(signal, &fallback, nullptr);
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, signal);
            pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
            raise(signal);
            _exit(128 + signal);
        }
    }).detach();
}
#endif

void EnsureSignalCleanup() {
    static Lock startLock;
    static bool started = false;
    std::lock_guard<Lock> guard(startLock);
    if (!started) {
        started = true;
        StartSignalCleanup();
    }
}

// A name part no other run picks: the process, a count within it and
// random bits against a process of the same number on another machine
// sharing the folder.
std::string UniquePart() {
    static std::atomic<unsigned> counter{0};
    static std::mt19937_64 random(std::random_device{}());
    static Lock randomLock;
    unsigned long long bits = 0;
    {
        std::lock_guard<Lock> guard(randomLock);
        bits = random();
    }
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    char text[64];
    snprintf(text, sizeof(text), "%lu-%u-%08llx", process, counter++, bits & 0xFFFFFFFFull);
    return text;
}

bool CreateExclusively(const std::string& path) {
#ifdef _WIN32
    const int file = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0666);
    return file >= 0 && _close(file) == 0;
#else
    const int file = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    return file >= 0 && close(file) == 0;
#endif
}

} // namespace

bool CreateTemporaryBeside(const std::string& outPath, const char* suffix, std::string* path) {
    EnsureSignalCleanup();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = outPath + "." + UniquePart() + "." + suffix;
        std::lock_guard<Lock> guard(registryLock);
        if (CreateExclusively(candidate)) {
            registered.push_back(candidate);
            *path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

void RegisterTemporary(const std::string& path) {
    EnsureSignalCleanup();
    std::lock_guard<Lock> guard(registryLock);
    registered.push_back(path);
}

void ForgetTemporary(const std::string& path) {
    std::lock_guard<Lock> guard(registryLock);
    ForgetLocked(path);
}

void RemoveTemporary(const std::string& path) {
    std::lock_guard<Lock> guard(registryLock);
    RemovePath(path);
    ForgetLocked(path);
}

bool MoveTemporaryInto(const std::string& path, const std::string& target) {
    std::lock_guard<Lock> guard(registryLock);
    if (!ReplaceFileWith(path.c_str(), target.c_str())) {
        return false;
    }
    ForgetLocked(path);
    return true;
}

std::string InputNamedAsOutput(const std::string& outPath, const std::vector<std::string>& inputs) {
    std::error_code error;
    if (!fs::exists(outPath, error)) {
        return std::string();
    }
    for (const std::string& input : inputs) {
        if (!input.empty() && fs::equivalent(outPath, input, error) && !error) {
            return input;
        }
    }
    return std::string();
}

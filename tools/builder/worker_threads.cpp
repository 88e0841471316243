#include "tools/builder/worker_threads.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

struct WorkerGroup {
    void (*work)(void*);
    void* context;
#ifdef _WIN32
    std::vector<HANDLE> threads;
#else
    std::vector<std::thread> threads;
#endif
};

#ifdef _WIN32

namespace {

DWORD WINAPI RunWorker(void* parameter) {
    const WorkerGroup* group = static_cast<const WorkerGroup*>(parameter);
    group->work(group->context);
    return 0;
}

} // namespace

unsigned ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

WorkerGroup* StartWorkers(unsigned count, void (*work)(void*), void* context) {
    WorkerGroup* group = new WorkerGroup{work, context, {}};
    group->threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, RunWorker, group, 0, nullptr);
        if (thread != nullptr) {
            group->threads.push_back(thread);
        }
    }
    return group;
}

void JoinWorkers(WorkerGroup* group) {
    for (HANDLE thread : group->threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    delete group;
}

#else

unsigned ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1;
}

WorkerGroup* StartWorkers(unsigned count, void (*work)(void*), void* context) {
    WorkerGroup* group = new WorkerGroup{work, context, {}};
    group->threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        try {
            group->threads.emplace_back(work, context);
        } catch (const std::system_error&) {
            break;
        }
    }
    return group;
}

void JoinWorkers(WorkerGroup* group) {
    for (std::thread& thread : group->threads) {
        thread.join();
    }
    delete group;
}

#endif

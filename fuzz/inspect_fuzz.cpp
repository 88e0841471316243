// Feeds arbitrary bytes to `inspect` as an installer: the payload is found,
// its setup.ini staged and read with setup.exe's buffers, and the report
// printed (to nowhere) in both forms.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "tools/builder/builder_commands.h"

// The tool's own reporting lives in main.cpp, beside its main().
int ReportUsageError() {
    return kExitBadInput;
}

void ReportProblem(const char*, const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tolvanex-inspect-fuzz-" + std::to_string(getpid());
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    const char* const forms[] = {"--json", nullptr};
    for (const char* form : forms) {
        char* arguments[] = {const_cast<char*>(path.c_str()), const_cast<char*>(form), nullptr};
        RunInspectCommand(form != nullptr ? 2 : 1, arguments);
    }
    return 0;
}

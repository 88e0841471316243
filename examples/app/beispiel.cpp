// The example application that the example installer installs: one window
// that says where it runs from, and greets the user named after "/gruss".
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// The text after "/gruss " on the command line, without its quotes.
void FindGreetedName(const char* commandLine, char* name, size_t size) {
    name[0] = '\0';
    const char* found = std::strstr(commandLine, "/gruss ");
    if (found == nullptr) {
        return;
    }
    found += std::strlen("/gruss ");
    size_t length = 0;
    for (const char* p = found; *p != '\0' && length + 1 < size; ++p) {
        if (*p != '"') {
            name[length++] = *p;
        }
    }
    name[length] = '\0';
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    char name[128];
    FindGreetedName(commandLine, name, sizeof name);
    char text[512];
    std::snprintf(text, sizeof text,
                  "%s%s%sDiese Beispielanwendung wurde mit Tolvanex Setup installiert.\n\n%s",
                  name[0] != '\0' ? "Hallo " : "", name, name[0] != '\0' ? "!\n\n" : "", program);
    MessageBoxA(nullptr, text, "Tolvanex Beispiel", MB_OK | MB_ICONINFORMATION);
    return 0;
}

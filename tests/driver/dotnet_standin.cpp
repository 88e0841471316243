// Stands in for the .NET Framework redistributable: records the command line
// it was started with in the file named by TOLVANEX_DOTNET_RECORD and ends.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TOLVANEX_DOTNET_RECORD", path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return 2;
    }
    std::FILE* record = std::fopen(path, "wb");
    if (record == nullptr) {
        return 3;
    }
    std::fputs(GetCommandLineA(), record);
    std::fclose(record);
    return 0;
}

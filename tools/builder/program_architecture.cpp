// The machine of a PE image, from its DOS header's pointer to the "PE\0\0"
// signature and the file header's Machine field behind it.
#include "tools/builder/program_architecture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "system/bounded_text.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kNewHeaderPointerOffset = 0x3c;
// Linkers put the PE header within the first KiB; allow a long DOS stub.
constexpr size_t kHeaderSearch = 64 * 1024;
constexpr unsigned kMachineI386 = 0x014c;
constexpr unsigned kMachineAmd64 = 0x8664;

unsigned ReadLittle16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}

unsigned long ReadLittle32(const unsigned char* p) {
    return static_cast<unsigned long>(p[0]) | (static_cast<unsigned long>(p[1]) << 8) |
           (static_cast<unsigned long>(p[2]) << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

std::string ExecutableDirectory() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return fs::path(path).parent_path().string();
#else
    std::error_code error;
    const fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.parent_path().string();
#endif
}

} // namespace

Machine MachineOfImage(const unsigned char* data, size_t size) {
    if (size < kNewHeaderPointerOffset + 4 || data[0] != 'M' || data[1] != 'Z') {
        return Machine::NotProgram;
    }
    const unsigned long header = ReadLittle32(data + kNewHeaderPointerOffset);
    // Compared without adding to `header`: a hostile pointer must not wrap.
    if (header > size || size - header < 6) {
        return Machine::NotProgram;
    }
    const unsigned char* pe = data + header;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return Machine::NotProgram;
    }
    switch (ReadLittle16(pe + 4)) {
    case kMachineI386:
        return Machine::X86;
    case kMachineAmd64:
        return Machine::X64;
    default:
        return Machine::Other;
    }
}

Machine MachineOfFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return Machine::NotProgram;
    }
    std::vector<unsigned char> head(kHeaderSearch);
    const size_t read = std::fread(head.data(), 1, head.size(), file);
    std::fclose(file);
    return MachineOfImage(head.data(), read);
}

bool ParseArchitecture(const std::string& text, Machine* machine) {
    for (Machine known : {Machine::X86, Machine::X64}) {
        const char* name = ArchitectureName(known);
        if (EqualIgnoringAsciiCase(text.data(), text.size(), name, std::strlen(name))) {
            *machine = known;
            return true;
        }
    }
    return false;
}

const char* ArchitectureName(Machine machine) {
    switch (machine) {
    case Machine::X86:
        return "x86";
    case Machine::X64:
        return "x64";
    case Machine::Other:
        return "other";
    case Machine::NotProgram:
        break;
    }
    return "none";
}

const char* MachineBits(Machine machine) {
    switch (machine) {
    case Machine::X86:
        return "32-bit";
    case Machine::X64:
        return "64-bit";
    default:
        return "non-x86";
    }
}

const char* RegistryViewOf(Machine machine) {
    return machine == Machine::X86 || machine == Machine::X64 ? MachineBits(machine) : nullptr;
}

std::string MixedMachinesProblem(Machine setup, Machine uninstaller) {
    if (setup == Machine::NotProgram || uninstaller == Machine::NotProgram ||
        setup == uninstaller) {
        return std::string();
    }
    return std::string("setup.exe is a ") + MachineBits(setup) + " program, uninstall.exe a " +
           MachineBits(uninstaller) +
           " one: an uninstaller sees the views of the system (Program Files, registry) its "
           "setup wrote into only when both are of one architecture";
}

std::string WrongMachineProblem(const char* what, Machine program, Machine wanted) {
    if (program == Machine::NotProgram || program == wanted) {
        return std::string();
    }
    return std::string(what) + " is a " + MachineBits(program) +
           " program, but architecture=" + ArchitectureName(wanted) + " asks for a " +
           MachineBits(wanted) + " one";
}

std::string ProgramNameFor(const char* baseName, Machine machine) {
    const std::string name = baseName;
    const size_t dot = name.rfind('.');
    const std::string suffix = std::string("-") + ArchitectureName(machine);
    return dot == std::string::npos ? name + suffix
                                    : name.substr(0, dot) + suffix + name.substr(dot);
}

std::vector<std::string> DefaultPlaces(const char* fileName) {
    const fs::path directory = ExecutableDirectory();
    if (directory.empty()) {
        return {};
    }
    return {(directory / fileName).string(),
            (directory.parent_path() / "share" / "tolvanex" / fileName).string()};
}

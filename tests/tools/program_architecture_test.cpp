// The machine of a PE program as the builder reads it, and what it makes of
// an installer's two programs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/builder/program_architecture.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A PE header at `offset` naming `machine`, cut to `size` bytes when given.
Bytes Image(uint32_t offset, uint16_t machine, size_t size = 0) {
    Bytes image(offset + 24, 0);
    image[0] = 'M';
    image[1] = 'Z';
    for (int i = 0; i < 4; ++i) {
        image[0x3c + i] = static_cast<unsigned char>(offset >> (8 * i));
    }
    if (offset + 6 <= image.size()) {
        image[offset] = 'P';
        image[offset + 1] = 'E';
        image[offset + 4] = static_cast<unsigned char>(machine);
        image[offset + 5] = static_cast<unsigned char>(machine >> 8);
    }
    if (size != 0) {
        image.resize(size);
    }
    return image;
}

TEST(ProgramArchitecture, ReadsTheMachineAndRefusesWhatIsNoProgram) {
    struct Case {
        const char* what;
        Bytes image;
        Machine expected;
    };
    Bytes noPe = Image(0x80, 0x8664);
    noPe[0x81] = 'X';
    Bytes noMz = Image(0x80, 0x14c);
    noMz[1] = 'Y';
    // A pointer that wraps around when the header's size is added to it.
    Bytes hostile = Image(0x40, 0x14c);
    hostile[0x3c] = 0xF0;
    hostile[0x3d] = hostile[0x3e] = hostile[0x3f] = 0xFF;
    const Case kCases[] = {
        {"i386", Image(0x80, 0x14c), Machine::X86},
        {"AMD64", Image(0x80, 0x8664), Machine::X64},
        {"ARM64", Image(0x80, 0xaa64), Machine::Other},
        {"header at the first possible place", Image(0x40, 0x8664), Machine::X64},
        {"machine field cut off", Image(0x80, 0x8664, 0x85), Machine::NotProgram},
        {"machine field just there", Image(0x80, 0x8664, 0x86), Machine::X64},
        {"no PE signature", noPe, Machine::NotProgram},
        {"no MZ signature", noMz, Machine::NotProgram},
        {"header pointer past the end", hostile, Machine::NotProgram},
        {"shorter than the header pointer", Image(0x80, 0x14c, 0x3e), Machine::NotProgram},
        {"text", Bytes{'s', 'u', 'p', 'p', 'o', 'r', 't'}, Machine::NotProgram},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MachineOfImage(c.image.data(), c.image.size()), c.expected);
    }
}

TEST(ProgramArchitecture, ParsesOnlyTheTwoArchitectureNames) {
    struct Case {
        const char* text;
        bool known;
        Machine machine;
    };
    const Case kCases[] = {
        {"x86", true, Machine::X86},    {"X64", true, Machine::X64},   {"x64", true, Machine::X64},
        {"amd64", false, Machine::X86}, {"x86 ", false, Machine::X86}, {"", false, Machine::X86},
        {"x6", false, Machine::X86},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        Machine machine = Machine::X86;
        EXPECT_EQ(ParseArchitecture(c.text, &machine), c.known);
        EXPECT_EQ(machine, c.machine);
    }
}

TEST(ProgramArchitecture, RefusesOnlyTwoProgramsOfDifferentMachines) {
    struct Case {
        Machine setup, uninstaller;
        bool mixed;
    };
    const Case kCases[] = {
        {Machine::X86, Machine::X86, false},        {Machine::X64, Machine::X64, false},
        {Machine::X86, Machine::X64, true},         {Machine::X64, Machine::X86, true},
        {Machine::Other, Machine::X64, true},       {Machine::NotProgram, Machine::X64, false},
        {Machine::X86, Machine::NotProgram, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(ArchitectureName(c.setup)) + "/" +
                     ArchitectureName(c.uninstaller));
        const std::string problem = MixedMachinesProblem(c.setup, c.uninstaller);
        EXPECT_EQ(!problem.empty(), c.mixed) << problem;
    }
    EXPECT_EQ(MixedMachinesProblem(Machine::X86, Machine::X64).substr(0, 53),
              "setup.exe is a 32-bit program, uninstall.exe a 64-bit");
    EXPECT_EQ(WrongMachineProblem("stub.exe", Machine::NotProgram, Machine::X64), "");
    EXPECT_EQ(WrongMachineProblem("stub.exe", Machine::X64, Machine::X64), "");
    EXPECT_EQ(WrongMachineProblem("stub.exe", Machine::X86, Machine::X64),
              "stub.exe is a 32-bit program, but architecture=x64 asks for a 64-bit one");
}

TEST(ProgramArchitecture, NamesTheProductsProgramsByArchitecture) {
    EXPECT_EQ(ProgramNameFor("setup.exe", Machine::X86), "setup-x86.exe");
    EXPECT_EQ(ProgramNameFor("uninstall.exe", Machine::X64), "uninstall-x64.exe");
    EXPECT_EQ(ProgramNameFor("setup", Machine::X64), "setup-x64");
}

} // namespace

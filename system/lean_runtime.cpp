// Smaller stand-ins for parts of the C++ and C runtime that setup.exe and
// uninstall.exe would otherwise carry from the static libraries: every
// installer carries both, so their size counts. Linked into those two only
// (tolvanex_lean_program).
//
// - The allocation operators end the process when memory runs out instead of
//   throwing: nothing in the program catches, and the throwing versions pull
//   in the whole exception and string machinery.
// - The containers' and strings' checks end the process: they are reached
//   only by a program error, and the throwing versions bring the exception
//   machinery (and with it the name demangler) along.
// - std::string is instantiated here, one section per member, so that the
//   linker drops what is unused; the library's own instantiation comes as
//   one object that its unwind tables keep whole.
// - Formatting and number parsing go to the system's msvcrt.dll instead of
//   the static C99 implementations. The program's formats (%s, %d, %u, %o,
//   %X, %02X, %.Nf) mean the same there; the size modifiers z, j, t, ll and
//   hh do not exist there and must not be used in this program.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

template class std::__cxx11::basic_string<char>;

namespace {

void* AllocateOrAbort(size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        std::abort();
    }
    return block;
}

} // namespace

void* operator new(size_t size) {
    return AllocateOrAbort(size);
}
void* operator new[](size_t size) {
    return AllocateOrAbort(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

namespace std {
void __throw_length_error(const char*) {
    std::abort();
}
void __throw_logic_error(const char*) {
    std::abort();
}
void __throw_out_of_range(const char*) {
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}
void __throw_bad_alloc() {
    std::abort();
}
void __throw_bad_array_new_length() {
    std::abort();
}
} // namespace std

extern "C" {

// C99 behaviour on top of msvcrt: always terminated within `size`, and the
// result is the length the whole text needs.
int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list arguments) {
    va_list counted;
    va_copy(counted, arguments);
    int length = _vscprintf(format, counted);
    va_end(counted);
    if (size > 0) {
        _vsnprintf(buffer, size, format, arguments);
        size_t end = length >= 0 && static_cast<size_t>(length) < size ? length : size - 1;
        buffer[end] = '\0';
    }
    return length;
}

int __cdecl __mingw_snprintf(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = __mingw_vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    return length;
}

// msvcrt's strtod, reached through its import: the headers route every
// strtod call to the static version.
#if defined(__i386__)
extern double(__cdecl* const SystemStrtod)(const char*, char**) __asm__("__imp__strtod");
#else
extern double(__cdecl* const SystemStrtod)(const char*, char**) __asm__("__imp_strtod");
#endif

double __cdecl __mingw_strtod(const char* text, char** end) {
    return SystemStrtod(text, end);
}

} // extern "C"

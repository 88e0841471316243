// Smaller stand-ins for parts of the C++ and C runtime that setup.exe would
// otherwise carry from the static libraries: the program is downloaded and
// started by users, so its size counts. Linked into setup.exe only.
//
// - The allocation operators end the process when memory runs out instead of
//   throwing: nothing in the program catches, and the throwing versions pull
//   in the whole exception and string machinery.
// - Formatting and number parsing go to the system's msvcrt.dll instead of
//   the static C99 implementations. The program's formats (%s, %d, %u, %o,
//   %X, %02X, %.Nf) mean the same there; the size modifiers z, j, t, ll and
//   hh do not exist there and must not be used in this program.
#include <cstdarg>
#include <cstdlib>
#include <new>

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

// The containers' length check; reached only by a program error.
namespace std {
void __throw_length_error(const char*) {
    std::abort();
}
} // namespace std

extern "C" {

int __cdecl _vscprintf(const char* format, va_list arguments);
int __cdecl _vsnprintf(char* buffer, size_t size, const char* format, va_list arguments);

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

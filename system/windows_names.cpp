#include "system/windows_names.h"

#include <cstring>

#include "system/bounded_text.h"

namespace {

// Device names stay devices with any extension ("NUL.txt") and blanks before
// it; COM and LPT also with the superscript digits of CP1252.
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    char lower[5] = {};
    if (base.size() < 3 || base.size() > 4) {
        return false;
    }
    for (size_t i = 0; i < base.size(); ++i) {
        lower[i] = LowerAscii(base[i]);
    }
    for (const char* device : {"con", "prn", "aux", "nul"}) {
        if (std::strcmp(lower, device) == 0) {
            return true;
        }
    }
    return base.size() == 4 &&
           (std::strncmp(lower, "com", 3) == 0 || std::strncmp(lower, "lpt", 3) == 0) &&
           std::strchr("123456789\xb9\xb2\xb3", lower[3]) != nullptr;
}

} // namespace

NameProblem FindNameProblem(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return NameProblem::ControlCharacter;
        }
        if (std::strchr("<>:\"|?*", c) != nullptr) {
            return NameProblem::ForbiddenCharacter;
        }
    }
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        return NameProblem::TrailingDotOrBlank;
    }
    return IsDeviceName(name) ? NameProblem::DeviceName : NameProblem::None;
}

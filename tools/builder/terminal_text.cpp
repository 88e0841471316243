#include "tools/builder/terminal_text.h"

std::string ShownText(const std::string& text) {
    static const char kHexDigits[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown.push_back(kHexDigits[byte >> 4]);
            shown.push_back(kHexDigits[byte & 0x0F]);
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

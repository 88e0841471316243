#include "tools/builder/script_document.h"
#include "system/bounded_text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The characters of CP1252's bytes 0x80 to 0x9F. The five bytes the code page
// leaves undefined stand for the C1 controls of their own number, as Windows
// converts them both ways.
const uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(uint32_t character, std::string* text) {
    if (character < 0x80) {
        text->push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        text->push_back(static_cast<char>(0xC0 | (character >> 6)));
        text->push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        text->push_back(static_cast<char>(0xE0 | (character >> 12)));
        text->push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        text->push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
}

bool CodePageByte(uint32_t character, char* byte) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        *byte = static_cast<char>(character);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == character) {
            *byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

// Decodes one UTF-8 sequence at text[*at]; false for a malformed, overlong
// or surrogate sequence.
bool DecodeUtf8(const std::string& text, size_t* at, uint32_t* character) {
    const unsigned char first = static_cast<unsigned char>(text[*at]);
    int length;
    uint32_t value;
    uint32_t least;
    if (first < 0x80) {
        *character = first;
        ++*at;
        return true;
    } else if ((first & 0xE0) == 0xC0) {
        length = 2, value = first & 0x1F, least = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, value = first & 0x0F, least = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, value = first & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (*at + length > text.size()) {
        return false;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *character = value;
    *at += length;
    return true;
}

bool IsUtf8(const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        uint32_t character;
        if (!DecodeUtf8(bytes, &at, &character)) {
            return false;
        }
    }
    return true;
}

bool IsAscii(const std::string& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Location(const std::string& path, int line) {
    return path + ":" + std::to_string(line);
}

// UTF-8 (known to be valid) to CP1252.
bool ConvertUtf8(const std::string& bytes, const std::string& path, std::string* text,
                 std::string* error) {
    size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    text->reserve(bytes.size());
    while (at < bytes.size()) {
        const size_t start = at;
        uint32_t character = 0;
        DecodeUtf8(bytes, &at, &character);
        char byte;
        if (!CodePageByte(character, &byte)) {
            char number[16];
            std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(character));
            *error = Location(path, line) + ": error: the character " + number + " \"" +
                     bytes.substr(start, at - start) +
                     "\" has no place in code page 1252, in which setup.exe reads its script";
            return false;
        }
        if (byte == '\n') {
            ++line;
        }
        text->push_back(byte);
    }
    return true;
}

std::string Trim(const std::string& text, size_t begin, size_t end) {
    while (begin < end && IsSpaceCharacter(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpaceCharacter(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// One line of the file, without its line end, into the document.
void AddLine(const std::string& line, int number, ScriptDocument* document) {
    size_t first = 0;
    while (first < line.size() && IsSpaceCharacter(line[first])) {
        ++first;
    }
    if (first == line.size() || line[first] == ';') {
        return;
    }
    if (line[first] == '[') {
        const size_t close = line.rfind(']');
        if (close != std::string::npos && close > first) {
            document->sections.push_back({Trim(line, first + 1, close), number, {}});
            return;
        }
    }
    if (document->sections.empty()) {
        document->sections.push_back({std::string(), 1, {}});
    }
    ScriptEntry entry;
    const size_t equals = line.find('=');
    entry.hasValue = equals != std::string::npos;
    entry.key = Trim(line, 0, entry.hasValue ? equals : line.size());
    entry.value = entry.hasValue ? Trim(line, equals + 1, line.size()) : std::string();
    entry.line = number;
    document->sections.back().entries.push_back(entry);
}

void AppendLine(std::string* text, const std::string& line) {
    *text += line;
    *text += "\r\n";
}

} // namespace

bool EqualNamesIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool EqualNamesIgnoringCase(const std::string& a, const char* b) {
    return EqualNamesIgnoringCase(a, std::string(b));
}

bool ParseScriptDocument(const std::string& bytes, const std::string& path,
                         ScriptDocument* document, std::string* error, ScriptBytes how) {
    std::string text;
    if (how == ScriptBytes::Detect && !IsAscii(bytes) && IsUtf8(bytes)) {
        if (!ConvertUtf8(bytes, path, &text, error)) {
            return false;
        }
    } else {
        text = bytes;
    }
    document->path = path;
    document->sections.clear();
    int number = 1;
    for (size_t start = 0; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r') {
            --length;
        }
        AddLine(text.substr(start, length), number, document);
        start = end + 1;
    }
    return true;
}

bool ReadScriptDocument(const std::string& path, ScriptDocument* document, std::string* error) {
    std::string bytes;
    return ReadScriptBytes(path, &bytes, error) &&
           ParseScriptDocument(bytes, path, document, error);
}

bool ReadScriptBytes(const std::string& path, std::string* bytes, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = path + ": error: cannot open: " + std::strerror(errno);
        return false;
    }
    char chunk[16384];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->append(chunk, count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *error = path + ": error: cannot read";
        return false;
    }
    return true;
}

bool FindUtf8Line(const std::string& bytes, int* line, std::string* shown) {
    if (IsAscii(bytes) || !IsUtf8(bytes)) {
        return false;
    }
    size_t start = 0;
    int number = 1;
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] == '\n') {
            start = at + 1;
            ++number;
        } else if (static_cast<unsigned char>(bytes[at]) >= 0x80) {
            size_t end = bytes.find('\n', at);
            end = end == std::string::npos ? bytes.size() : end;
            if (end > start && bytes[end - 1] == '\r') {
                --end;
            }
            *line = number;
            *shown = bytes.substr(start, end - start);
            // Each byte a character of its own, as the code page reads it.
            std::string utf8;
            for (unsigned char c : *shown) {
                uint32_t character = c;
                if (c >= 0x80 && c <= 0x9F) {
                    character = kHighControls[c - 0x80];
                }
                AppendUtf8(character, &utf8);
            }
            *shown = utf8;
            return true;
        }
    }
    return false;
}

const ScriptSection* FindSection(const ScriptDocument& document, const std::string& name) {
    for (const ScriptSection& section : document.sections) {
        if (EqualNamesIgnoringCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const ScriptEntry* FindEntry(const ScriptSection& section, const std::string& key) {
    for (const ScriptEntry& entry : section.entries) {
        if (EqualNamesIgnoringCase(entry.key, key)) {
            return &entry;
        }
    }
    return nullptr;
}

const ScriptSection* FindSection(const ScriptDocument& document, const char* name) {
    return FindSection(document, std::string(name));
}

const ScriptEntry* FindEntry(const ScriptSection& section, const char* key) {
    return FindEntry(section, std::string(key));
}

namespace {

std::string LowerName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) {
        c = LowerAscii(c);
    }
    return lower;
}

} // namespace

EntryIndex IndexEntries(const ScriptSection& section) {
    EntryIndex index;
    index.first.reserve(section.entries.size());
    for (const ScriptEntry& entry : section.entries) {
        index.first.emplace(LowerName(entry.key), &entry); // an earlier one stays
    }
    return index;
}

const ScriptEntry* FindEntry(const EntryIndex& index, const std::string& key) {
    const auto found = index.first.find(LowerName(key));
    return found != index.first.end() ? found->second : nullptr;
}

bool IsFirstOfKey(const EntryIndex& index, const ScriptEntry& entry) {
    return FindEntry(index, entry.key) == &entry;
}

SectionIndex IndexSections(const ScriptDocument& document) {
    SectionIndex index;
    index.first.reserve(document.sections.size());
    for (const ScriptSection& section : document.sections) {
        index.first.emplace(LowerName(section.name), &section);
    }
    return index;
}

const ScriptSection* FindSection(const SectionIndex& index, const std::string& name) {
    const auto found = index.first.find(LowerName(name));
    return found != index.first.end() ? found->second : nullptr;
}

std::string ProfileValue(const ScriptEntry& entry) {
    const std::string& value = entry.value;
    if (entry.hasValue && value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
        value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return entry.hasValue ? value : std::string();
}

std::string FormatScriptText(const ScriptDocument& document) {
    std::string text;
    for (const ScriptSection& section : document.sections) {
        if (section.name.empty() && section.entries.empty()) {
            continue;
        }
        if (!text.empty()) {
            AppendLine(&text, "");
        }
        if (!section.name.empty() || &section != &document.sections.front()) {
            AppendLine(&text, "[" + section.name + "]");
        }
        for (const ScriptEntry& entry : section.entries) {
            AppendLine(&text, entry.hasValue ? entry.key + "=" + entry.value : entry.key);
        }
    }
    return text;
}

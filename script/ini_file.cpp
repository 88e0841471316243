#include "ini_file.h"

#include "profile_service.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "system/ansi_text.h"
#include "system/bounded_text.h"

const char MissingKeySentinel[] = "{63788286-AE30-4D6B-95DF-3B451C1C79F9}";

namespace {

// Values are read in steps of this size; a count that reaches the size means
// the value may have been cut and is read again with more room.
constexpr uint32_t kValueStep = 512;
// Typed reads look at this many bytes of a value.
constexpr uint32_t kTypedReadSize = kTypedTextSize - 1;
constexpr uint32_t kRecord8Size = 8;
constexpr uint32_t kRecord16Size = 16;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The longest prefix of text[0, length) that fits in room bytes without
// splitting a double-byte character.
size_t FitLength(const char* text, size_t length, size_t room) {
    if (length <= room) {
        return length;
    }
    size_t fit = 0;
    while (fit < room) {
        size_t step = IsLeadByte(text[fit]) ? 2 : 1;
        if (fit + step > room) {
            break;
        }
        fit += step;
    }
    return fit;
}

// Copies at most size bytes of text, filling the rest with NUL; a text that
// does not fit is cut without a terminator, never inside a double-byte
// character (which the shared bounded copies do not know of).
void FillWholeCharacters(char* buffer, uint32_t size, const char* text) {
    size_t length = FitLength(text, std::strlen(text), size);
    std::memcpy(buffer, text, length);
    std::memset(buffer + length, 0, size - length);
}

// The bounded copy of ReadString: the last byte is given up for the
// terminator, so the caller always gets a terminated string.
void CopyWholeCharacters(char* buffer, uint32_t size, const char* text) {
    if (size == 0) {
        return;
    }
    FillWholeCharacters(buffer, size - 1, text);
    buffer[size - 1] = '\0';
}

char* DuplicateText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy != nullptr) {
        std::memcpy(copy, text, length + 1);
    }
    return copy;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Room the item at text[0, length) may take in a double-NUL list that has
// written bytes of size: its own NUL and the closing NUL must fit too.
size_t ItemRoom(uint32_t size, uint32_t written) {
    return size - written >= 2 ? size - written - 2 : 0;
}

// Appends one item to a double-NUL list being built, cut to the room left;
// an item cut to nothing is dropped.
void AppendItem(const char* item, size_t length, char* buffer, uint32_t size, uint32_t* written) {
    size_t kept = FitLength(item, length, ItemRoom(size, *written));
    if (kept == 0) {
        return;
    }
    std::memcpy(buffer + *written, item, kept);
    buffer[*written + kept] = '\0';
    *written += static_cast<uint32_t>(kept + 1);
}

// Moves [*start, *end) inward past blanks, as TrimBlanks does in place.
void TrimRange(const char** start, const char** end) {
    while (*end > *start && IsBlank((*end)[-1])) {
        --*end;
    }
    while (*start < *end && IsBlank(**start)) {
        ++*start;
    }
}

// The hexadecimal text of data as a new string, or null.
char* FormatHex(const void* data, uint32_t size) {
    if (static_cast<size_t>(size) > (SIZE_MAX - 1) / 2) {
        return nullptr; // the text would not fit in memory on a 32-bit platform
    }
    char* text = new (std::nothrow) char[2 * static_cast<size_t>(size) + 1];
    if (text == nullptr) {
        return nullptr;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (uint32_t i = 0; i < size; ++i) {
        std::snprintf(text + 2 * static_cast<size_t>(i), 3, "%02X", bytes[i]);
    }
    text[2 * static_cast<size_t>(size)] = '\0';
    return text;
}

} // namespace

int NormalizeRadix(int radix) {
    return radix == 2 || radix == 8 || radix == 16 ? radix : 10;
}

char* FormatInt(int32_t value, char* buffer, int radix) {
    if (radix == 2 || radix == 8 || radix == 16) {
        return FormatUInt(static_cast<uint32_t>(value), buffer, radix);
    }
    std::snprintf(buffer, kTypedTextSize, "%d", static_cast<int>(value));
    return buffer;
}

char* FormatUInt(uint32_t value, char* buffer, int radix) {
    switch (radix) {
    case 2:
        return FormatBinaryDigits(value, buffer, kTypedTextSize - 1);
    case 8:
        std::snprintf(buffer, kTypedTextSize, "%o", static_cast<unsigned>(value));
        break;
    case 16:
        std::snprintf(buffer, kTypedTextSize, "%X", static_cast<unsigned>(value));
        break;
    default:
        std::snprintf(buffer, kTypedTextSize, "%u", static_cast<unsigned>(value));
        break;
    }
    return buffer;
}

char* FormatBinaryDigits(uint32_t value, char* buffer, int limit) {
    if (limit <= 0) {
        return buffer;
    }
    int count = 0;
    do {
        buffer[count++] = static_cast<char>('0' + (value & 1));
        value >>= 1;
    } while (value != 0 && count < limit);
    buffer[count] = '\0';
    ReverseText(buffer);
    return buffer;
}

int ParseBool(const char* text, int defaultValue) {
    if (text == nullptr || *text == '\0') {
        return defaultValue;
    }
    if (EqualIgnoringCase(text, "true") || EqualIgnoringCase(text, "yes")) {
        return 1;
    }
    return std::strtol(text, nullptr, 10) != 0 ? 1 : 0;
}

int TrimBlanks(char* text) {
    const char* start = text;
    const char* end = text + std::strlen(text);
    const char* originalEnd = end;
    TrimRange(&start, &end);
    if (start == text && end == originalEnd) {
        return 0;
    }
    size_t length = static_cast<size_t>(end - start);
    std::memmove(text, start, length);
    text[length] = '\0';
    return 1;
}

int SplitList(const char* text, char* buffer, uint32_t size, const char* delimiter, int trim) {
    if (text == nullptr || buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (*text == '\0') {
        return 0;
    }
    if (delimiter != nullptr && *delimiter == '\0') {
        // One string, still closed by a second NUL within size bytes.
        CopyWholeCharacters(buffer, size - 1, text);
        buffer[size - 1] = '\0';
        return static_cast<int>(std::strlen(buffer));
    }
    const char* separator = delimiter != nullptr ? delimiter : ",";
    size_t separatorLength = std::strlen(separator);
    uint32_t written = 0;
    const char* piece = text;
    for (;;) {
        const char* cut = FindText(piece, separator);
        const char* end = cut != nullptr ? cut : piece + std::strlen(piece);
        const char* start = piece;
        if (trim) {
            TrimRange(&start, &end);
        }
        AppendItem(start, static_cast<size_t>(end - start), buffer, size, &written);
        if (cut == nullptr) {
            break;
        }
        piece = cut + separatorLength;
    }
    buffer[written] = '\0';
    return static_cast<int>(written);
}

int ForEachListItem(const char* list, ListItemCallback callback, void* context) {
    if (list == nullptr || callback == nullptr) {
        return 0;
    }
    for (const char* item = list; *item != '\0'; item += std::strlen(item) + 1) {
        if (callback(item, context) == 0) {
            return 0;
        }
    }
    return 1;
}

IniFile::IniFile() : path_(nullptr) {}

IniFile::IniFile(const char* path) : path_(nullptr) {
    SetFile(path);
}

IniFile::~IniFile() {
    delete[] path_;
}

void IniFile::SetFile(const char* path) {
    if (path != nullptr) {
        delete[] path_;
        path_ = DuplicateText(path);
    } else if (path_ != nullptr) {
        path_[0] = '\0';
    }
}

int IniFile::GetFile(char* buffer, uint32_t size) const {
    if (path_ == nullptr) {
        return 0;
    }
    if (buffer == nullptr) {
        return static_cast<int>(std::strlen(path_));
    }
    CopyWholeCharacters(buffer, size, path_);
    return size == 0 ? 0 : static_cast<int>(std::strlen(buffer));
}

bool IniFile::IsBound() const {
    return path_ != nullptr && path_[0] != '\0';
}

char* IniFile::ReadValue(const char* section, const char* key, const char* defaultValue) const {
    const char* fallback = defaultValue != nullptr ? defaultValue : "";
    if (section == nullptr || key == nullptr || !IsBound()) {
        return DuplicateText(fallback);
    }
    uint32_t size = kValueStep;
    for (;;) {
        // One byte more than the service is told, so the text always ends.
        char* buffer = new (std::nothrow) char[size + 1];
        if (buffer == nullptr) {
            return nullptr;
        }
        buffer[0] = '\0';
        buffer[size] = '\0';
        uint32_t count = ProfileReadValue(section, key, fallback, buffer, size, path_);
        if (count + 1 < size || size > UINT32_MAX - kValueStep - 1) {
            return buffer;
        }
        delete[] buffer;
        size += kValueStep;
    }
}

int32_t IniFile::ReadString(const char* section, const char* key, char* buffer, uint32_t size,
                            const char* defaultValue) const {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    char* value = ReadValue(section, key, defaultValue);
    if (value == nullptr) {
        return 0;
    }
    uint32_t length = static_cast<uint32_t>(std::strlen(value));
    if (buffer != nullptr) {
        CopyWholeCharacters(buffer, size, value);
        if (length > size) {
            length = size;
        }
    }
    delete[] value;
    return static_cast<int32_t>(length);
}

int IniFile::WriteString(const char* section, const char* key, const char* value) {
    if (section == nullptr || key == nullptr || !IsBound()) {
        return 0;
    }
    return ProfileWriteValue(section, key, value != nullptr ? value : "", path_);
}

int IniFile::AppendString(const char* section, const char* key, const char* text) {
    if (text == nullptr) {
        return 0;
    }
    char* current = ReadValue(section, key);
    if (current == nullptr) {
        return 0;
    }
    size_t length = std::strlen(current) + std::strlen(text) + 1;
    char* joined = new (std::nothrow) char[length];
    int result = 0;
    if (joined != nullptr) {
        std::snprintf(joined, length, "%s%s", current, text);
        result = WriteString(section, key, joined);
    }
    delete[] joined;
    delete[] current;
    return result;
}

// Fills text (kTypedTextSize bytes) with the first 64 bytes of the value.
// Returns false for an empty or absent value.
bool IniFile::ReadTypedText(const char* section, const char* key, char* text) const {
    std::memset(text, 0, kTypedTextSize);
    char* value = ReadValue(section, key);
    if (value == nullptr) {
        return false;
    }
    FillWholeCharacters(text, kTypedReadSize, value);
    delete[] value;
    return text[0] != '\0';
}

int32_t IniFile::ReadInt(const char* section, const char* key, int32_t defaultValue,
                         int radix) const {
    return static_cast<int32_t>(ReadUInt(section, key, static_cast<uint32_t>(defaultValue), radix));
}

uint32_t IniFile::ReadUInt(const char* section, const char* key, uint32_t defaultValue,
                           int radix) const {
    char text[kTypedTextSize];
    if (!ReadTypedText(section, key, text)) {
        return defaultValue;
    }
    return ParseUnsigned(text, NormalizeRadix(radix));
}

int IniFile::ReadBool(const char* section, const char* key, int defaultValue) const {
    char text[kTypedTextSize];
    ReadTypedText(section, key, text);
    return ParseBool(text, defaultValue);
}

double IniFile::ReadDouble(const char* section, const char* key, double defaultValue) const {
    char text[kTypedTextSize];
    if (!ReadTypedText(section, key, text)) {
        return defaultValue;
    }
    return std::strtod(text, nullptr);
}

char IniFile::ReadChar(const char* section, const char* key, char defaultChar) const {
    char first = '\0';
    char* value = ReadValue(section, key);
    if (value != nullptr) {
        FillWholeCharacters(&first, 1, value);
        delete[] value;
    }
    return first != '\0' ? first : defaultChar;
}

int IniFile::WriteInt(const char* section, const char* key, int32_t value, int radix) {
    char text[kTypedTextSize] = {};
    return WriteString(section, key, FormatInt(value, text, radix));
}

int IniFile::WriteUInt(const char* section, const char* key, uint32_t value, int radix) {
    char text[kTypedTextSize] = {};
    return WriteString(section, key, FormatUInt(value, text, radix));
}

int IniFile::AddInt(const char* section, const char* key, int32_t delta, int radix) {
    uint32_t sum = static_cast<uint32_t>(ReadInt(section, key, 0, radix)) + delta;
    return WriteInt(section, key, static_cast<int32_t>(sum), radix);
}

int IniFile::AddUInt(const char* section, const char* key, uint32_t delta, int radix) {
    return WriteUInt(section, key, ReadUInt(section, key, 0, radix) + delta, radix);
}

int IniFile::WriteBool(const char* section, const char* key, int flag) {
    return WriteInt(section, key, flag != 0 ? 1 : 0, 10);
}

int IniFile::ToggleBool(const char* section, const char* key) {
    return WriteBool(section, key, !ReadBool(section, key, 0));
}

int IniFile::WriteDouble(const char* section, const char* key, double value, int precision) {
    char format[kTypedTextSize] = "%f";
    if (precision > 0) {
        std::snprintf(format, sizeof format, "%%.%df", precision);
    }
    char text[kTypedTextSize] = {};
    int length = std::snprintf(text, sizeof text, format, value);
    if (length < 0 || length >= kTypedTextSize) {
        return 0;
    }
    return WriteString(section, key, text);
}

int IniFile::AddDouble(const char* section, const char* key, double delta, int precision) {
    return WriteDouble(section, key, ReadDouble(section, key, 0.0) + delta, precision);
}

int IniFile::WriteChar(const char* section, const char* key, char ch) {
    const char text[2] = {ch, '\0'};
    return WriteString(section, key, text);
}

uint32_t IniFile::ReadBinary(const char* section, const char* key, void* buffer, uint32_t size,
                             uint32_t offset) const {
    char* value = ReadValue(section, key);
    if (value == nullptr) {
        return 0;
    }
    size_t length = std::strlen(value);
    size_t stored = length / 2;
    uint32_t count = 0;
    bool valid = stored > offset;
    for (size_t i = 0; valid && i < length; ++i) {
        valid = HexDigitValue(value[i]) >= 0;
    }
    if (valid) {
        size_t available = stored - offset;
        count = static_cast<uint32_t>(buffer == nullptr || available < size ? available : size);
    }
    if (valid && buffer != nullptr) {
        unsigned char* bytes = static_cast<unsigned char*>(buffer);
        for (uint32_t i = 0; i < count; ++i) {
            const char* pair = value + 2 * (static_cast<size_t>(offset) + i);
            bytes[i] =
                static_cast<unsigned char>(HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1]));
        }
    }
    delete[] value;
    return count;
}

int IniFile::WriteBinary(const char* section, const char* key, const void* data, uint32_t size) {
    if (data == nullptr) {
        return 0;
    }
    char* text = FormatHex(data, size);
    int result = text != nullptr ? WriteString(section, key, text) : 0;
    delete[] text;
    return result;
}

int IniFile::AppendBinary(const char* section, const char* key, const void* data, uint32_t size) {
    if (data == nullptr) {
        return 0;
    }
    char* text = FormatHex(data, size);
    int result = text != nullptr ? AppendString(section, key, text) : 0;
    delete[] text;
    return result;
}

Record8 IniFile::ReadRecord8(const char* section, const char* key, Record8 defaultRecord) const {
    unsigned char bytes[kRecord8Size];
    if (ReadBinary(section, key, bytes, kRecord8Size, 0) != kRecord8Size) {
        return defaultRecord;
    }
    Record8 record;
    std::memcpy(record.words, bytes, kRecord8Size);
    return record;
}

int IniFile::WriteRecord8(const char* section, const char* key, Record8 record) {
    return WriteBinary(section, key, record.words, kRecord8Size);
}

Record16 IniFile::ReadRecord16(const char* section, const char* key, Record16 defaultRecord) const {
    unsigned char bytes[kRecord16Size];
    if (ReadBinary(section, key, bytes, kRecord16Size, 0) != kRecord16Size) {
        return defaultRecord;
    }
    Record16 record;
    std::memcpy(record.words, bytes, kRecord16Size);
    return record;
}

int IniFile::WriteRecord16(const char* section, const char* key, Record16 record) {
    return WriteBinary(section, key, record.words, kRecord16Size);
}

int IniFile::ReadList(const char* section, const char* key, char* buffer, uint32_t size,
                      const char* delimiter, int trim) const {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    if (section == nullptr || key == nullptr) {
        return 0;
    }
    char* value = ReadValue(section, key);
    if (value == nullptr) {
        return 0;
    }
    int result = 0;
    if (value[0] != '\0' && buffer != nullptr) {
        result = SplitList(value, buffer, size, delimiter, trim);
    } else if (value[0] != '\0') {
        uint32_t length = static_cast<uint32_t>(std::strlen(value));
        char* scratch = new (std::nothrow) char[static_cast<size_t>(length) + 3];
        if (scratch != nullptr) {
            result = SplitList(value, scratch, length + 2, delimiter, trim);
        }
        delete[] scratch;
    }
    delete[] value;
    return result;
}

// The room a double-NUL list of the section (or of all section names, for a
// null section) needs, found in steps of 512 bytes.
uint32_t IniFile::FindListRoom(const char* section) const {
    for (uint32_t size = kValueStep; size <= UINT32_MAX - kValueStep - 1; size += kValueStep) {
        char* buffer = new (std::nothrow) char[size + 1]();
        if (buffer == nullptr) {
            return 0;
        }
        uint32_t count = section != nullptr ? ProfileReadSection(section, buffer, size, path_)
                                            : ProfileReadSectionNames(buffer, size, path_);
        delete[] buffer;
        if (count + 2 < size) {
            return count + 2;
        }
    }
    return 0;
}

uint32_t IniFile::ReadSection(const char* section, char* buffer, uint32_t size) const {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    if (section == nullptr || !IsBound()) {
        return 0;
    }
    if (buffer == nullptr) {
        return FindListRoom(section);
    }
    return ProfileReadSection(section, buffer, size, path_);
}

uint32_t IniFile::ReadSectionNames(char* buffer, uint32_t size) const {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    if (!IsBound()) {
        return 0;
    }
    if (buffer == nullptr) {
        return FindListRoom(nullptr);
    }
    return ProfileReadSectionNames(buffer, size, path_);
}

uint32_t IniFile::ReadKeyNames(const char* section, char* buffer, uint32_t size) const {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    uint32_t room = ReadSection(section, nullptr, 0);
    char* lines = room > 0 ? new (std::nothrow) char[room + 1]() : nullptr;
    if (lines == nullptr) {
        return 0;
    }
    ReadSection(section, lines, room);
    uint32_t result = 0;
    for (const char* line = lines; *line != '\0'; line += std::strlen(line) + 1) {
        const char* equals = std::strchr(line, '=');
        if (equals == nullptr || equals == line) {
            continue;
        }
        const char* start = line;
        const char* end = equals;
        TrimRange(&start, &end);
        size_t length = static_cast<size_t>(end - start);
        if (buffer == nullptr) {
            result += static_cast<uint32_t>(length + 1);
        } else if (size > 0) {
            AppendItem(start, length, buffer, size, &result);
        }
    }
    if (buffer != nullptr && size > 0) {
        buffer[result] = '\0';
    }
    delete[] lines;
    return result;
}

int IniFile::SectionExists(const char* section) const {
    if (section == nullptr) {
        return 0;
    }
    uint32_t room = ReadSectionNames(nullptr, 0);
    char* names = room > 0 ? new (std::nothrow) char[room + 1]() : nullptr;
    if (names == nullptr) {
        return 0;
    }
    ReadSectionNames(names, room);
    int found = 0;
    for (const char* name = names; *name != '\0' && !found; name += std::strlen(name) + 1) {
        found = EqualIgnoringCase(name, section) ? 1 : 0;
    }
    delete[] names;
    return found;
}

int IniFile::KeyExists(const char* section, const char* key) const {
    if (section == nullptr || key == nullptr || !IsBound()) {
        return 0;
    }
    char* value = ReadValue(section, key, MissingKeySentinel);
    int exists = value != nullptr && std::strcmp(value, MissingKeySentinel) != 0 ? 1 : 0;
    delete[] value;
    return exists;
}

int IniFile::DeleteSection(const char* section) {
    if (section == nullptr || !IsBound()) {
        return 0;
    }
    return ProfileWriteValue(section, nullptr, "", path_);
}

int IniFile::DeleteKey(const char* section, const char* key) {
    // A null key would remove the whole section.
    if (section == nullptr || key == nullptr || !IsBound()) {
        return 0;
    }
    return ProfileWriteValue(section, key, nullptr, path_);
}

int IniFile::CopySection(const char* from, const char* to, int failIfExists) {
    if (from == nullptr || to == nullptr || EqualIgnoringCase(from, to) || !SectionExists(from) ||
        (failIfExists && SectionExists(to))) {
        return 0;
    }
    DeleteSection(to);
    uint32_t room = ReadSection(from, nullptr, 0) + 2;
    char* lines = new (std::nothrow) char[room + 1]();
    if (lines == nullptr) {
        return 0;
    }
    ReadSection(from, lines, room);
    int result = ProfileWriteSection(to, lines, path_);
    delete[] lines;
    return result;
}

int IniFile::CopyKey(const char* section, const char* key, const char* toSection, const char* toKey,
                     int failIfExists) {
    if (section == nullptr || key == nullptr || toSection == nullptr || toKey == nullptr ||
        (EqualIgnoringCase(section, toSection) && EqualIgnoringCase(key, toKey)) ||
        !KeyExists(section, key) || (failIfExists && KeyExists(toSection, toKey))) {
        return 0;
    }
    char* value = ReadValue(section, key);
    if (value == nullptr) {
        return 0;
    }
    int result = WriteString(toSection, toKey, value);
    delete[] value;
    return result;
}

int IniFile::MoveSection(const char* from, const char* to, int failIfExists) {
    return CopySection(from, to, failIfExists) && DeleteSection(from) ? 1 : 0;
}

int IniFile::MoveKey(const char* section, const char* key, const char* toSection, const char* toKey,
                     int failIfExists) {
    return CopyKey(section, key, toSection, toKey, failIfExists) && DeleteKey(section, key) ? 1 : 0;
}

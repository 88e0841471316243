#include "profile_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "system/bounded_text.h"

namespace {

// A file's lines without their line ends: views into its text for reading,
// strings of their own for changing.
using LineViews = std::vector<std::string_view>;
using Lines = std::vector<std::string>;

constexpr size_t kNoLine = static_cast<size_t>(-1);

// One section: its header line (kNoLine for the lines before the first
// header, which form the section with the empty name) and its lines.
struct SectionSpan {
    std::string_view name;
    size_t header;
    size_t begin;
    size_t end;
};

// One "key=value" line, or a line without "=" (no value).
struct EntryLine {
    std::string_view key;
    std::string_view value;
    bool hasValue;
};

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimLeft(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(0, end);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return EqualIgnoringAsciiCase(a.data(), a.size(), b.data(), b.size());
}

bool ParseHeader(std::string_view line, std::string_view* name) {
    line = TrimLeft(line);
    if (line.empty() || line[0] != '[') {
        return false;
    }
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
        return false;
    }
    *name = Trim(line.substr(1, close - 1));
    return true;
}

bool IsBlankOrComment(std::string_view line) {
    line = TrimLeft(line);
    return line.empty() || line[0] == ';';
}

// Lines that are neither headers, blank nor comments.
bool ParseEntry(std::string_view line, EntryLine* entry) {
    if (IsBlankOrComment(line)) {
        return false;
    }
    size_t equals = line.find('=');
    entry->hasValue = equals != std::string_view::npos;
    entry->key = Trim(line.substr(0, equals));
    entry->value = entry->hasValue ? Trim(line.substr(equals + 1)) : std::string_view();
    return true;
}

template <typename LineList> std::vector<SectionSpan> FindSections(const LineList& lines) {
    std::vector<SectionSpan> sections;
    sections.push_back({std::string_view(), kNoLine, 0, lines.size()});
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (ParseHeader(lines[i], &name)) {
            sections.back().end = i;
            sections.push_back({name, i, i + 1, lines.size()});
        }
    }
    return sections;
}

const SectionSpan* FindSection(const std::vector<SectionSpan>& sections, std::string_view name) {
    for (const SectionSpan& section : sections) {
        if (EqualNoCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

template <typename LineList>
size_t FindKey(const LineList& lines, const SectionSpan& section, std::string_view key) {
    for (size_t i = section.begin; i < section.end; ++i) {
        EntryLine entry;
        if (ParseEntry(lines[i], &entry) && EqualNoCase(entry.key, key)) {
            return i;
        }
    }
    return kNoLine;
}

enum class LoadResult { Loaded, Missing, Failed };

LoadResult LoadText(const char* path, std::string* text) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    }
    // Room for the whole file at once: values are read again and again as
    // their buffer grows, so each read of a long value must stay cheap.
    // (A directory reports an absurd length; it fails at the first read.)
    constexpr long kLengthHintLimit = 1L << 30;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long length = std::ftell(file);
        if (length > 0 && length < kLengthHintLimit) {
            text->reserve(static_cast<size_t>(length));
        }
        std::rewind(file);
    }
    char chunk[16384];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text->append(chunk, count);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? LoadResult::Failed : LoadResult::Loaded;
}

// Lines end in LF or CR LF; the last may have no end.
LineViews SplitLines(std::string_view text) {
    LineViews lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r') {
            --length;
        }
        lines.push_back(text.substr(start, length));
        start = end + 1;
    }
    return lines;
}

bool SaveLines(const char* path, const Lines& lines) {
    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

// Applies change to the file's lines and writes them back if that changed
// anything, so that a change that is none never creates or touches the file.
// A missing file is an empty one; an unreadable one is left alone.
template <typename Change> int ChangeFile(const char* path, Change change) {
    std::string text;
    if (path == nullptr || LoadText(path, &text) == LoadResult::Failed) {
        return 0;
    }
    LineViews before = SplitLines(text);
    Lines lines(before.begin(), before.end());
    change(&lines);
    if (std::equal(lines.begin(), lines.end(), before.begin(), before.end())) {
        return 1;
    }
    return SaveLines(path, lines) ? 1 : 0;
}

// Loads the file for reading into text, whose lines the result views; a
// missing or unreadable file is an empty one.
LineViews LoadForRead(const char* path, std::string* text) {
    if (path == nullptr || LoadText(path, text) != LoadResult::Loaded) {
        text->clear();
    }
    return SplitLines(*text);
}

std::string_view DropQuotes(std::string_view value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A value cut to the buffer is what the platform's reader returns too: the
// count it gives tells the caller.
uint32_t CopyTerminated(std::string_view text, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (CopyBoundedPart(buffer, size, text.data(), text.size())) {
        return static_cast<uint32_t>(text.size());
    }
    return size - 1;
}

// Builds a double-NUL list in buffer of size bytes; a list that does not fit
// is cut so that it still ends in two NULs, and counts as size - 2. An empty
// list is one NUL, or two where the platform writes two.
class ListWriter {
public:
    ListWriter(char* buffer, uint32_t size, bool emptyAsTwoNuls)
        : buffer_(buffer), size_(size), used_(0), cut_(false), emptyAsTwoNuls_(emptyAsTwoNuls) {}

    void Add(std::string_view item) {
        if (cut_) {
            return;
        }
        if (used_ + item.size() + 2 <= size_) {
            std::memcpy(buffer_ + used_, item.data(), item.size());
            used_ += item.size();
            buffer_[used_++] = '\0';
            return;
        }
        cut_ = true;
        size_t room = size_ >= used_ + 2 ? size_ - used_ - 2 : 0;
        std::memcpy(buffer_ + used_, item.data(), room);
    }

    uint32_t Finish() {
        if (buffer_ == nullptr || size_ == 0) {
            return 0;
        }
        if (size_ == 1) {
            buffer_[0] = '\0';
            return 0;
        }
        if (cut_) {
            buffer_[size_ - 2] = '\0';
            buffer_[size_ - 1] = '\0';
            return size_ - 2;
        }
        buffer_[used_] = '\0';
        if (used_ == 0 && emptyAsTwoNuls_) {
            buffer_[1] = '\0';
        }
        return static_cast<uint32_t>(used_);
    }

private:
    char* buffer_;
    uint32_t size_;
    size_t used_;
    bool cut_;
    bool emptyAsTwoNuls_;
};

std::string EntryText(std::string_view key, std::string_view value) {
    std::string text(key);
    text += '=';
    text += value;
    return text;
}

void RemoveSection(Lines* lines, std::string_view name) {
    std::vector<SectionSpan> sections = FindSections(*lines);
    const SectionSpan* section = FindSection(sections, name);
    if (section != nullptr && section->header != kNoLine) {
        lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(section->header),
                     lines->begin() + static_cast<std::ptrdiff_t>(section->end));
    }
}

void RemoveKey(Lines* lines, std::string_view sectionName, std::string_view key) {
    std::vector<SectionSpan> sections = FindSections(*lines);
    const SectionSpan* section = FindSection(sections, sectionName);
    size_t line = section != nullptr ? FindKey(*lines, *section, key) : kNoLine;
    if (line != kNoLine) {
        lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(line));
    }
}

// The line behind the last entry of the section, where a new key goes: blank
// lines and comments that end a section usually lead into the next one.
size_t EndOfEntries(const Lines& lines, const SectionSpan& section) {
    size_t end = section.end;
    while (end > section.begin && IsBlankOrComment(lines[end - 1])) {
        --end;
    }
    return end;
}

// Adds key=value at the end of the section (created at the end of the file
// when absent), or replaces the first line of the key unless replace is false.
void SetKey(Lines* lines, std::string_view sectionName, std::string_view key,
            std::string_view value, bool replace) {
    std::vector<SectionSpan> sections = FindSections(*lines);
    const SectionSpan* section = FindSection(sections, sectionName);
    if (section == nullptr) {
        lines->push_back("[" + std::string(sectionName) + "]");
        lines->push_back(EntryText(key, value));
        return;
    }
    size_t line = replace ? FindKey(*lines, *section, key) : kNoLine;
    if (line != kNoLine) {
        EntryLine entry;
        ParseEntry((*lines)[line], &entry);
        if (!entry.hasValue || entry.value != value) {
            (*lines)[line] = EntryText(entry.key, value);
        }
        return;
    }
    size_t at = EndOfEntries(*lines, *section);
    lines->insert(lines->begin() + static_cast<std::ptrdiff_t>(at), EntryText(key, value));
}

// Empties the section, comments and blank lines included, keeping its header;
// a missing section is added at the end of the file.
void ClearSection(Lines* lines, std::string_view name) {
    std::vector<SectionSpan> sections = FindSections(*lines);
    const SectionSpan* section = FindSection(sections, name);
    if (section == nullptr) {
        lines->push_back("[" + std::string(name) + "]");
        return;
    }
    lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(section->begin),
                 lines->begin() + static_cast<std::ptrdiff_t>(section->end));
}

} // namespace

uint32_t ProfileFileReadValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, uint32_t size, const char* path) {
    std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
    try {
        if (section == nullptr || key == nullptr) {
            return CopyTerminated(fallback, buffer, size);
        }
        std::string text;
        LineViews lines = LoadForRead(path, &text);
        std::vector<SectionSpan> sections = FindSections(lines);
        const SectionSpan* found = FindSection(sections, Trim(section));
        size_t line = found != nullptr ? FindKey(lines, *found, Trim(key)) : kNoLine;
        EntryLine entry;
        if (line == kNoLine || !ParseEntry(lines[line], &entry) || !entry.hasValue) {
            return CopyTerminated(fallback, buffer, size);
        }
        return CopyTerminated(DropQuotes(entry.value), buffer, size);
    } catch (const std::exception&) {
        return CopyTerminated(fallback, buffer, size);
    }
}

int ProfileFileWriteValue(const char* section, const char* key, const char* value,
                          const char* path) {
    try {
        if (section == nullptr) {
            return 0;
        }
        return ChangeFile(path, [&](Lines* lines) {
            if (key == nullptr) {
                RemoveSection(lines, Trim(section));
            } else if (value == nullptr) {
                RemoveKey(lines, Trim(section), Trim(key));
            } else {
                SetKey(lines, Trim(section), Trim(key), Trim(value), true);
            }
        });
    } catch (const std::exception&) {
        return 0;
    }
}
uint32_t ProfileFileReadSection(const char* section, char* buffer, uint32_t size,
                                const char* path) {
    try {
        ListWriter list(buffer, size, true);
        if (section == nullptr || buffer == nullptr) {
            return list.Finish();
        }
        std::string text;
        LineViews lines = LoadForRead(path, &text);
        std::vector<SectionSpan> sections = FindSections(lines);
        const SectionSpan* found = FindSection(sections, Trim(section));
        for (size_t i = found != nullptr ? found->begin : 0; found != nullptr && i < found->end;
             ++i) {
            EntryLine entry;
            if (ParseEntry(lines[i], &entry)) {
                list.Add(entry.hasValue ? EntryText(entry.key, entry.value)
                                        : std::string(entry.key));
            }
        }
        return list.Finish();
    } catch (const std::exception&) {
        return ListWriter(buffer, size, true).Finish();
    }
}

uint32_t ProfileFileReadSectionNames(char* buffer, uint32_t size, const char* path) {
    try {
        ListWriter list(buffer, size, false);
        if (buffer == nullptr) {
            return 0;
        }
        std::string text;
        LineViews lines = LoadForRead(path, &text);
        for (const SectionSpan& section : FindSections(lines)) {
            if (section.header != kNoLine) {
                list.Add(section.name);
            }
        }
        return list.Finish();
    } catch (const std::exception&) {
        return ListWriter(buffer, size, false).Finish();
    }
}

int ProfileFileWriteSection(const char* section, const char* list, const char* path) {
    try {
        if (section == nullptr || list == nullptr) {
            return 0;
        }
        std::string_view name = Trim(section);
        return ChangeFile(path, [&](Lines* lines) {
            ClearSection(lines, name);
            for (const char* item = list; *item != '\0'; item += std::strlen(item) + 1) {
                std::string_view text(item);
                size_t equals = text.find('=');
                if (equals != std::string_view::npos) {
                    SetKey(lines, name, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)),
                           false);
                }
            }
        });
    } catch (const std::exception&) {
        return 0;
    }
}

// Profile-file (INI) access: values of any length, typed values, value lists,
// enumeration of sections and keys, existence tests, and copying, moving and
// deleting of keys and sections. Every call goes to the profile service; the
// class keeps no copy of the file.
//
// Conventions: a null section or key makes reads return their default (or 0,
// or an empty result) and writes return 0, without touching the file. An
// unbound object (no path, or an empty one) behaves the same way. Writes
// return non-zero on success. Texts are 8-bit ANSI code page text. A
// returned char* is the caller's, released with delete[], as everywhere in
// the project.
#pragma once

#include <cstdint>

// Room for the text of a typed value: 64 characters and the terminator.
constexpr int kTypedTextSize = 65;

// The read default that tells an absent key from an empty one.
extern const char MissingKeySentinel[];

// 2, 8 and 16 unchanged; every other radix gives 10.
int NormalizeRadix(int radix);

// Format a 32-bit value into buffer, which must hold kTypedTextSize bytes.
// FormatInt writes radix 2, 8 and 16 as the two's-complement digits and every
// other radix as signed decimal; FormatUInt writes binary, octal, upper-case
// hexadecimal without prefix, or unsigned decimal. Both return buffer.
char* FormatInt(int32_t value, char* buffer, int radix);
char* FormatUInt(uint32_t value, char* buffer, int radix);

// Binary digits of value without leading zeros ("0" for zero), at most limit
// digits, then NUL: buffer must hold limit + 1 bytes (nothing for limit 0).
char* FormatBinaryDigits(uint32_t value, char* buffer, int limit);

// defaultValue for a null or empty text; 1 for "true" or "yes" in any letter
// case; otherwise 1 if the text starts with a non-zero decimal number, else 0.
int ParseBool(const char* text, int defaultValue);

// Removes blanks, tabs, CR and LF from both ends in place. Returns 1 if
// anything was removed, else 0.
int TrimBlanks(char* text);

// Splits text at each occurrence of delimiter ("," when null; an empty one
// keeps the text whole) into a double-NUL list in buffer of size bytes,
// dropping empty pieces and, with trim, blanks around each piece. Returns the
// bytes written before the closing NUL. A list that does not fit is cut: a
// piece keeps what fits (never half a double-byte character), later pieces
// are dropped, and the list always ends in two NULs within size bytes.
int SplitList(const char* text, char* buffer, uint32_t size, const char* delimiter, int trim);

// Called for each item of a double-NUL list; returning 0 stops the walk.
using ListItemCallback = int (*)(const char* item, void* context);

// Returns 1 if the end of the list was reached, 0 if the callback stopped the
// walk or if list or callback is null.
int ForEachListItem(const char* list, ListItemCallback callback, void* context);

// Fixed-size binary records, stored as hexadecimal text in memory order.
struct Record8 {
    uint32_t words[2];
};
struct Record16 {
    uint32_t words[4];
};

class IniFile {
public:
    IniFile();
    explicit IniFile(const char* path);
    virtual ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Binds to path, which should be a full path. A null path empties the
    // path held. The file itself is not touched.
    void SetFile(const char* path);
    // With a buffer: copies the path (cut like ReadString) and returns the
    // length of the text copied. Without: the length of the path.
    int GetFile(char* buffer, uint32_t size) const;

    // The whole value as a new string that the caller releases with delete[]:
    // defaultValue (or "") for an absent section or key, "" for an empty
    // value. Returns null only when memory runs out.
    char* ReadValue(const char* section, const char* key, const char* defaultValue = nullptr) const;
    // Copies the value into buffer; a value of size bytes or more is cut to
    // size - 1 bytes and terminated. Returns the value's length capped at
    // size, or, without a buffer, its full length.
    int32_t ReadString(const char* section, const char* key, char* buffer, uint32_t size,
                       const char* defaultValue = nullptr) const;
    // A null value writes an empty value; the key stays.
    int WriteString(const char* section, const char* key, const char* value);
    // Appends text to the current value (absent counts as empty).
    int AppendString(const char* section, const char* key, const char* text);

    // Typed reads see the first 64 bytes of the value; an empty or absent
    // value gives defaultValue, a value that does not parse gives 0.
    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue,
                    int radix = 10) const;
    uint32_t ReadUInt(const char* section, const char* key, uint32_t defaultValue,
                      int radix = 10) const;
    int ReadBool(const char* section, const char* key, int defaultValue) const;
    double ReadDouble(const char* section, const char* key, double defaultValue) const;
    // The first byte of the value; defaultChar for an empty or absent value.
    char ReadChar(const char* section, const char* key, char defaultChar) const;

    int WriteInt(const char* section, const char* key, int32_t value, int radix = 10);
    int WriteUInt(const char* section, const char* key, uint32_t value, int radix = 10);
    int AddInt(const char* section, const char* key, int32_t delta, int radix = 10);
    int AddUInt(const char* section, const char* key, uint32_t delta, int radix = 10);
    // Writes "1" for any non-zero flag, "0" for zero.
    int WriteBool(const char* section, const char* key, int flag);
    int ToggleBool(const char* section, const char* key);
    // Six decimals for precision 0 or below, else precision decimals. A text
    // longer than 64 characters is refused: returns 0, writes nothing.
    int WriteDouble(const char* section, const char* key, double value, int precision = 0);
    int AddDouble(const char* section, const char* key, double delta, int precision = 0);
    // A NUL character writes an empty value.
    int WriteChar(const char* section, const char* key, char ch);

    // Decodes the hexadecimal value from byte offset on into buffer (at most
    // size bytes). Returns the bytes stored (or, without a buffer, available);
    // 0 if any character of the value is not a hexadecimal digit.
    uint32_t ReadBinary(const char* section, const char* key, void* buffer, uint32_t size,
                        uint32_t offset) const;
    int WriteBinary(const char* section, const char* key, const void* data, uint32_t size);
    int AppendBinary(const char* section, const char* key, const void* data, uint32_t size);
    Record8 ReadRecord8(const char* section, const char* key, Record8 defaultRecord) const;
    int WriteRecord8(const char* section, const char* key, Record8 record);
    Record16 ReadRecord16(const char* section, const char* key, Record16 defaultRecord) const;
    int WriteRecord16(const char* section, const char* key, Record16 record);

    // The value split with SplitList. Without a buffer: the bytes a buffer
    // needs, less one for the closing NUL.
    int ReadList(const char* section, const char* key, char* buffer, uint32_t size,
                 const char* delimiter, int trim) const;

    // The section's "key=value" lines as a double-NUL list; the service's
    // count (size - 2 when cut). Without a buffer: the room needed.
    uint32_t ReadSection(const char* section, char* buffer, uint32_t size) const;
    // The section's key names as a double-NUL list (cut like SplitList).
    // Returns the bytes before the closing NUL; without a buffer, the room
    // needed less one.
    uint32_t ReadKeyNames(const char* section, char* buffer, uint32_t size) const;
    // All section names as a double-NUL list, as ReadSection.
    uint32_t ReadSectionNames(char* buffer, uint32_t size) const;

    int SectionExists(const char* section) const;
    // 1 for a key that is present, even with an empty value.
    int KeyExists(const char* section, const char* key) const;

    int DeleteSection(const char* section);
    int DeleteKey(const char* section, const char* key);
    // Copies replace the target; they return 0 and change nothing when a name
    // is null, source and target are the same, the source is absent, or the
    // target exists and failIfExists is non-zero.
    int CopySection(const char* from, const char* to, int failIfExists);
    int CopyKey(const char* section, const char* key, const char* toSection, const char* toKey,
                int failIfExists);
    // Copy, then delete the source; 1 only if both succeed.
    int MoveSection(const char* from, const char* to, int failIfExists);
    int MoveKey(const char* section, const char* key, const char* toSection, const char* toKey,
                int failIfExists);

private:
    bool IsBound() const;
    bool ReadTypedText(const char* section, const char* key, char* text) const;
    uint32_t FindListRoom(const char* section) const;

    char* path_;
};

// Lists: the count setup.exe reads against the items written, and the keys
// an item needs.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "archive/payload_format.h"
#include "script/ini_file.h"
#include "system/bounded_text.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"count-missing", Severity::Error,
     "a list with items but no `count` (setup.exe reads 0 and handles none)"},
    {"bad-count", Severity::Error,
     "a `count` that is not a number, negative, or above the 65,534 entries of a payload"},
    {"count-too-small", Severity::Warning, "items beyond `count`, which setup.exe ignores"},
    {"count-too-large", Severity::Error,
     "items within `count` that are not listed (handled with empty values)"},
    {"missing-key", Severity::WarningOrError, "an item without a key it needs"},
};

} // namespace

int FindField(const SetupSection& rule, const std::string& rest) {
    for (size_t i = 0; i < rule.keyCount; ++i) {
        if (EqualNamesIgnoringCase(rest, rule.keys[i].key + 2)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reads a list as setup.exe does, reporting its count and missing keys, and
// checks the values of the items it will handle. Returns those items, in
// order.
std::vector<ListItem> CheckList(CheckRun& run, const ScriptDocument& document,
                                const SectionRules& rules) {
    const SetupSection& rule = *rules.section;
    std::vector<ListItem> items;
    const ScriptSection* section = FindSection(document, rule.name);
    if (section == nullptr) {
        return items;
    }
    const int first = rule.numbering == Numbering::FromOne ? 1 : 0;
    std::map<int, ListItem> listed;
    for (const ScriptEntry& entry : section->entries) {
        int index;
        std::string rest;
        if (!entry.hasValue || FindEntry(*section, entry.key) != &entry ||
            !ParseIndex(entry.key, &index, &rest) || index < first) {
            continue;
        }
        const int field = rule.numbering == Numbering::Items ? FindField(rule, rest)
                          : rest.empty()                     ? 0
                                                             : -1;
        if (field < 0) {
            continue;
        }
        ListItem& item = listed[index];
        item.section = &rule;
        item.index = index;
        item.fields.resize(rule.keyCount, nullptr);
        item.fields[static_cast<size_t>(field)] = &entry;
    }
    const ScriptEntry* countEntry = FindEntry(*section, kCountKey);
    const std::string countText = Value(countEntry);
    const char* what = rules.builder ? "the builder" : "setup.exe";
    if (countText.empty()) {
        if (!listed.empty()) {
            Report(run, LineOf(countEntry, section), "count-missing",
                   "[" + section->name + "] has no count: " + what +
                       " reads 0 and handles none of " + Number(listed.size()) + " items listed");
        }
        return items;
    }
    const int32_t count = static_cast<int32_t>(ParseUnsigned(countText.c_str(), 10));
    if (!IsWholeNumber(countText)) {
        Report(run, countEntry->line, "bad-count",
               Quoted(countText) + " is not a number: " + what + " reads " +
                   Number(std::max(count, 0)));
    } else if (count < 0) {
        Report(run, countEntry->line, "bad-count",
               "a negative count: " + std::string(what) + " handles no item");
        return items;
    } else if (countText.size() > 10 ||
               static_cast<uint32_t>(count) > payload_format::kMaxEntries) {
        Report(run, countEntry->line, "bad-count",
               "a count above the " + Number(payload_format::kMaxEntries) +
                   " entries a payload can hold");
        return items;
    }
    if (count <= 0) {
        if (!listed.empty()) {
            Report(run, countEntry->line, "count-too-small",
                   "count is " + Number(count) + ": " + what + " ignores all " +
                       Number(listed.size()) + " items listed");
        }
        return items;
    }
    const int end = first + count;
    if (!listed.empty() && listed.rbegin()->first >= end) {
        const auto ignored = listed.lower_bound(end);
        int line = 0;
        for (const ScriptEntry* entry : ignored->second.fields) {
            if (entry != nullptr && (line == 0 || entry->line < line)) {
                line = entry->line;
            }
        }
        Report(run, countEntry->line, "count-too-small",
               "count is " + Number(count) + ", but items up to " + Number(listed.rbegin()->first) +
                   " are listed: " + what + " ignores those from " + Number(end) + " on (line " +
                   Number(line) + ")");
    }
    int missing = 0;
    int firstMissing = -1;
    for (int index = first; index < end; ++index) {
        auto found = listed.find(index);
        if (found == listed.end()) {
            if (missing++ == 0) {
                firstMissing = index;
            }
            continue;
        }
        items.push_back(found->second);
    }
    if (missing > 0) {
        Report(run, countEntry->line, "count-too-large",
               "count is " + Number(count) + ", but item " + Number(firstMissing) +
                   (missing > 1 ? " and " + Number(missing - 1) + " more are" : " is") +
                   " not listed: " + what + " handles each with empty values");
    }
    for (const ListItem& item : items) {
        int itemLine = 0;
        for (const ScriptEntry* entry : item.fields) {
            if (entry != nullptr && (itemLine == 0 || entry->line < itemLine)) {
                itemLine = entry->line;
            }
        }
        for (size_t i = 0; i < rule.keyCount; ++i) {
            const SetupKey& key = rule.keys[i];
            const ScriptEntry* entry = item.fields[i];
            if (entry != nullptr) {
                CheckValue(run, *entry, key);
            }
            if (key.need != Need::Optional && Value(entry).empty()) {
                const std::string name = ItemKeyName(key.key, item.index);
                std::string text = "item " + Number(item.index) + " has no " + Quoted(name) + ": " +
                                   what + " uses an empty text";
                if (key.kind == ValueKind::Constant && key.constant == ConstantKind::RegistryRoot) {
                    text += ", which means " +
                            std::string(GetConstantTable(ConstantKind::RegistryRoot).fallbackName);
                }
                ReportAs(run, entry != nullptr ? entry->line : itemLine, "missing-key",
                         key.need == Need::Error ? Severity::Error : Severity::Warning, text);
            }
        }
    }
    return items;
}

const ScriptEntry* FieldEntry(const ListItem& item, const char* key) {
    const int field = SetupFieldIndex(*item.section, key);
    return field >= 0 ? item.fields[static_cast<size_t>(field)] : nullptr;
}

std::string FieldValue(const ListItem& item, const char* key) {
    return Value(FieldEntry(item, key));
}

int FieldLine(const ListItem& item, const char* key) {
    const ScriptEntry* entry = FieldEntry(item, key);
    if (entry != nullptr) {
        return entry->line;
    }
    for (const ScriptEntry* other : item.fields) {
        if (other != nullptr) {
            return other->line;
        }
    }
    return 1;
}

CheckFamily ListChecks() {
    return {"lists", kChecks, std::size(kChecks)};
}

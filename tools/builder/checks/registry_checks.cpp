// Registry: values written into keys nothing creates, and DWORD data
// setup.exe would store otherwise than written.
#include <iterator>

#include "script/constant_names.h"
#include "script/ini_file.h"
#include "system/bounded_text.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"value-without-key", Severity::Warning,
     "a value entry whose key no earlier key entry creates and that is not a key Windows always "
     "has"},
    {"bad-dword", Severity::Error, "REG_DWORD data that is not a 32-bit decimal or `0x` number"},
};

// Keys a value entry may write into without a key entry creating them first:
// they exist on every Windows installation. Paths in lower case.
struct PresentKey {
    RegistryRoot root;
    const char* path;
};
const PresentKey kPresentKeys[] = {
    {RegistryRoot::LocalMachine, ""},
    {RegistryRoot::LocalMachine, "software"},
    {RegistryRoot::LocalMachine, "software\\classes"},
    {RegistryRoot::LocalMachine, "software\\microsoft"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion\\run"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion\\runonce"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows nt\\currentversion"},
    {RegistryRoot::LocalMachine, "system"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset\\control"},
    {RegistryRoot::LocalMachine,
     "system\\currentcontrolset\\control\\session manager\\environment"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset\\services"},
    {RegistryRoot::CurrentUser, ""},
    {RegistryRoot::CurrentUser, "control panel"},
    {RegistryRoot::CurrentUser, "control panel\\desktop"},
    {RegistryRoot::CurrentUser, "control panel\\international"},
    {RegistryRoot::CurrentUser, "environment"},
    {RegistryRoot::CurrentUser, "software"},
    {RegistryRoot::CurrentUser, "software\\classes"},
    {RegistryRoot::CurrentUser, "software\\microsoft"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion\\run"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion\\runonce"},
    {RegistryRoot::ClassesRoot, ""},
    {RegistryRoot::ClassesRoot, "*"},
    {RegistryRoot::ClassesRoot, "*\\shell"},
    {RegistryRoot::ClassesRoot, "clsid"},
    {RegistryRoot::ClassesRoot, "directory"},
    {RegistryRoot::ClassesRoot, "directory\\shell"},
    {RegistryRoot::ClassesRoot, "folder"},
    {RegistryRoot::ClassesRoot, "folder\\shell"},
    {RegistryRoot::Users, ""},
    {RegistryRoot::Users, ".default"},
    {RegistryRoot::CurrentConfig, ""},
    {RegistryRoot::CurrentConfig, "software"},
    {RegistryRoot::CurrentConfig, "system"},
};
std::string NormalizeKeyPath(const std::string& path) {
    std::string normalized;
    for (char c : path) {
        if (c == '\\' && (normalized.empty() || normalized.back() == '\\')) {
            continue;
        }
        normalized += LowerAscii(c);
    }
    while (!normalized.empty() && normalized.back() == '\\') {
        normalized.pop_back();
    }
    return normalized;
}

} // namespace

void CheckRegistry(CheckRun& run, const std::vector<ListItem>& items) {
    std::set<std::pair<uint32_t, std::string>> keys;
    for (const PresentKey& present : kPresentKeys) {
        keys.emplace(static_cast<uint32_t>(present.root), present.path);
    }
    for (const ListItem& item : items) {
        const uint32_t root = RootKeyFromName(FieldValue(item, kRegistryRootKey).c_str());
        const std::string path = NormalizeKeyPath(FieldValue(item, kRegistryKeyPathKey));
        const std::string name = FieldValue(item, kRegistryValueNameKey);
        if (name.empty()) {
            // Creating a key creates every missing level above it.
            for (size_t at = 0; at != std::string::npos; at = path.find('\\', at + 1)) {
                keys.emplace(root, path.substr(0, at));
            }
            keys.emplace(root, path);
        } else if (keys.count({root, path}) == 0) {
            Report(run, FieldLine(item, kRegistryValueNameKey), "value-without-key",
                   "no earlier key entry creates " +
                       Quoted(std::string(RegistryRootName(static_cast<RegistryRoot>(root))) +
                              "\\" + FieldValue(item, kRegistryKeyPathKey)) +
                       ": setup.exe writes a value only into a key that exists and passes this one "
                       "over silently");
        }
        const std::string type = FieldValue(item, kRegistryTypeKey);
        uint32_t typeNumber = 0;
        if (FindConstant(ConstantKind::RegistryValueType, type.c_str(), &typeNumber) &&
            typeNumber == kRegistryDwordType) {
            const std::string data = FieldValue(item, kRegistryDataKey);
            const bool negative = !data.empty() && data[0] == '-';
            const std::string digits = negative ? data.substr(1) : data;
            bool sound = false;
            if (StartsWith(digits, "0x") || StartsWith(digits, "0X")) {
                sound = !negative && digits.size() > 2 && digits.size() <= 10 &&
                        digits.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
            } else if (!digits.empty() && digits.size() <= 10 &&
                       digits.find_first_not_of("0123456789") == std::string::npos) {
                const unsigned long long number = std::stoull(digits);
                sound = negative ? number <= 0x80000000ULL : number <= 0xFFFFFFFFULL;
            }
            if (!sound) {
                Report(run, FieldLine(item, kRegistryDataKey), "bad-dword",
                       Quoted(data) +
                           " is not a 32-bit decimal or 0x... number: setup.exe "
                           "stores " +
                           Number(ParseUnsigned(data.c_str(), 0)));
            }
        }
    }
}

// The program of a service's command line: the quoted part, or what runs up
// to ".exe" or the first blank.

CheckFamily RegistryChecks() {
    return {"registry", kChecks, std::size(kChecks)};
}

#include "security.h"

#include <sddl.h>

#include "system/system_services.h"

bool IsUserAdministrator() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return false;
        }
    }
    bool member = false;
    DWORD size = 0;
    TOKEN_GROUPS* groups = nullptr;
    PSID administrators = nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!GetTokenInformation(token, TokenGroups, nullptr, 0, &size) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        groups = static_cast<TOKEN_GROUPS*>(HeapAlloc(GetProcessHeap(), 0, size));
    }
    if (groups != nullptr && GetTokenInformation(token, TokenGroups, groups, size, &size) &&
        AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        // Deny-only and disabled memberships count too: the program asks
        // for elevation through its manifest.
        for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
            member = EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
        }
        FreeSid(administrators);
    }
    if (groups != nullptr) {
        HeapFree(GetProcessHeap(), 0, groups);
    }
    CloseHandle(token);
    return member;
}

namespace {

HRESULT CreateFolderWithAccess(const char* path, const char* descriptor) {
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
        return HResultFromLastError();
    }
    HRESULT result = CreateDirectoryA(path, &security) ? S_OK : HResultFromLastError();
    LocalFree(security.lpSecurityDescriptor);
    return result;
}

} // namespace

HRESULT CreateAdministratorsOnlyFolder(const char* path) {
    // Protected (no inherited entries): full access for administrators and
    // the system, for the folder and everything below it; nothing for others.
    return CreateFolderWithAccess(path, "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
}

HRESULT CreateInstallationFolder(const char* path) {
    // FRFX: read, list and execute, the users' entry of Program Files.
    return CreateFolderWithAccess(path, "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)");
}

#include "fs/access.h"

#include <stddef.h>
#include <stdlib.h>

#include "text/format.h"

namespace {

// The SID of an allow or deny entry, or null. Only these kinds keep the SID right behind the
// header and the mask (object entries keep flags and GUIDs there), and a SID that would reach
// past the end of its entry is not read.
PSID PlainAceSid(void* ace)
{
    const ACE_HEADER* header = static_cast<ACE_HEADER*>(ace);
    switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        break;
    default:
        return nullptr;
    }
    const DWORD sidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
    if (header->AceSize < sidOffset + GetSidLengthRequired(0))
        return nullptr;
    SID* sid = reinterpret_cast<SID*>(static_cast<BYTE*>(ace) + sidOffset);
    if (header->AceSize < sidOffset + GetSidLengthRequired(sid->SubAuthorityCount))
        return nullptr;
    return sid;
}

// False, with the refusal as the last error, when securityHook refuses `descriptor` for `path`.
bool Handed(const char* path, PSECURITY_DESCRIPTOR descriptor)
{
    if (securityHook == nullptr || securityHook(path, descriptor))
        return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

}

SecurityHook securityHook;

PSID AllocateEveryoneSid()
{
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    if (SysFailed(AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid),
                  "AllocateAndInitializeSid (Everyone) failed"))
        return nullptr;
    return sid;
}

bool BuildGrantDescriptor(PSECURITY_DESCRIPTOR fileSD, PSID userSID, DWORD accessMask, int inheritable,
                          SECURITY_DESCRIPTOR* newSD, PACL* newACL)
{
    *newACL = nullptr;
    if (SysFailed(InitializeSecurityDescriptor(newSD, SECURITY_DESCRIPTOR_REVISION),
                  "InitializeSecurityDescriptor failed"))
        return false;

    BOOL daclPresent = FALSE;
    PACL oldACL = nullptr;
    BOOL daclDefaulted = FALSE;
    if (SysFailed(GetSecurityDescriptorDacl(fileSD, &daclPresent, &oldACL, &daclDefaulted),
                  "GetSecurityDescriptorDacl failed"))
        return false;
    // A null DACL (everyone may do everything) is not carried over: the new list holds only the
    // new entry. Without a list the sizes stay those of an empty one.
    ACL_SIZE_INFORMATION oldSize = {0, sizeof(ACL), 0};
    if (daclPresent && oldACL != nullptr &&
        SysFailed(GetAclInformation(oldACL, &oldSize, sizeof(oldSize), AclSizeInformation), "GetAclInformation failed"))
        return false;

    // The new entry's first SID word is part of ACCESS_ALLOWED_ACE already.
    const DWORD newSize = oldSize.AclBytesInUse + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(userSID) - sizeof(DWORD);
    *newACL = static_cast<PACL>(malloc(newSize));
    if (SysFailed(*newACL != nullptr, "malloc (%d) failed on pNewACL", newSize))
        return false;
    if (SysFailed(InitializeAcl(*newACL, newSize, ACL_REVISION_DS), "InitializeAcl failed"))
        return false;

    // The explicit entries come first; the account's own are dropped, allow and deny alike.
    DWORD i = 0;
    for (; i < oldSize.AceCount; ++i) {
        void* ace = nullptr;
        if (SysFailed(GetAce(oldACL, i, &ace), "GetAce [%d of %d] failed", i, oldSize.AceCount))
            return false;
        const ACE_HEADER* header = static_cast<ACE_HEADER*>(ace);
        if ((header->AceFlags & INHERITED_ACE) != 0)
            break;
        const PSID aceSID = PlainAceSid(ace);
        if (aceSID != nullptr && EqualSid(aceSID, userSID))
            continue;
        if (SysFailed(AddAce(*newACL, ACL_REVISION, MAXDWORD, ace, header->AceSize), "AddAce [%d of %d] failed", i,
                      oldSize.AceCount))
            return false;
    }

    const DWORD flags = inheritable != 0 ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    if (SysFailed(AddAccessAllowedAceEx(*newACL, ACL_REVISION_DS, flags, accessMask, userSID),
                  "AddAccessAllowedAce failed"))
        return false;

    // Inherited entries belong to the parent's list; they follow unchanged, the account's too.
    for (; i < oldSize.AceCount; ++i) {
        void* ace = nullptr;
        if (SysFailed(GetAce(oldACL, i, &ace), "GetAce 2 [%d of %d] failed", i, oldSize.AceCount))
            return false;
        if (SysFailed(AddAce(*newACL, ACL_REVISION, MAXDWORD, ace, static_cast<ACE_HEADER*>(ace)->AceSize),
                      "AddAce 2 [%d of %d] failed", i, oldSize.AceCount))
            return false;
    }

    if (SysFailed(SetSecurityDescriptorDacl(newSD, TRUE, *newACL, FALSE), "SetSecurityDescriptorDacl failed"))
        return false;

    SECURITY_DESCRIPTOR_CONTROL oldControl = 0;
    DWORD oldRevision = 0;
    if (SysFailed(GetSecurityDescriptorControl(fileSD, &oldControl, &oldRevision),
                  "GetSecurityDescriptorControl failed."))
        return false;
    // A protected list stays protected, whatever else it is: dropping the protection would let
    // the parent's entries in. An auto-inherited list stays one and keeps taking its parent's
    // changes; one that was not does not become one.
    SECURITY_DESCRIPTOR_CONTROL inheritance = oldControl & SE_DACL_PROTECTED;
    if ((oldControl & SE_DACL_AUTO_INHERITED) != 0)
        inheritance |= SE_DACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED;
    return inheritance == 0 || !SysFailed(SetSecurityDescriptorControl(newSD, inheritance, inheritance),
                                          "SetSecurityDescriptorControl failed");
}

bool GrantAccess(const char* path, const char* account, DWORD accessMask, int inheritable)
{
    PSID pUserSID = nullptr;
    char* szDomain = nullptr;
    PSECURITY_DESCRIPTOR pFileSD = nullptr;
    PACL pNewACL = nullptr;
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE sidUse;
    DWORD fileSDSize = 0;
    SECURITY_DESCRIPTOR newSD;
    bool granted = false;

    if (account != nullptr) {
        if (LookupAccountNameA(nullptr, account, nullptr, &sidSize, nullptr, &domainSize, &sidUse)) {
            SysFailed(FALSE, "Unexpected non-failing of LookupAccountName");
            goto cleanup;
        }
        if (RecordSysError("LookupAccountName 1 failed") != ERROR_INSUFFICIENT_BUFFER)
            goto cleanup;
        pUserSID = malloc(sidSize);
        if (SysFailed(pUserSID != nullptr, "malloc (%d) failed on pUserSID", sidSize))
            goto cleanup;
        szDomain = static_cast<char*>(malloc(domainSize));
        if (SysFailed(szDomain != nullptr, "malloc (%d) failed on szDomain", domainSize))
            goto cleanup;
        if (SysFailed(LookupAccountNameA(nullptr, account, pUserSID, &sidSize, szDomain, &domainSize, &sidUse),
                      "LookupAccountName 2 failed"))
            goto cleanup;
    } else if ((pUserSID = AllocateEveryoneSid()) == nullptr) {
        goto cleanup;
    }

    if (GetFileSecurityA(path, DACL_SECURITY_INFORMATION, nullptr, 0, &fileSDSize)) {
        SysFailed(FALSE, "Unexpected non-failing of GetFileSecurity");
        goto cleanup;
    }
    if (RecordSysError("GetFileSecurity 1 failed") != ERROR_INSUFFICIENT_BUFFER)
        goto cleanup;
    pFileSD = malloc(fileSDSize);
    if (SysFailed(pFileSD != nullptr, "malloc (%d) failed on pFileSD", fileSDSize))
        goto cleanup;
    if (SysFailed(GetFileSecurityA(path, DACL_SECURITY_INFORMATION, pFileSD, fileSDSize, &fileSDSize),
                  "GetFileSecurity 2 failed"))
        goto cleanup;

    if (!BuildGrantDescriptor(pFileSD, pUserSID, accessMask, inheritable, &newSD, &pNewACL))
        goto cleanup;
    granted = !SysFailed(Handed(path, &newSD) && SetFileSecurityA(path, DACL_SECURITY_INFORMATION, &newSD),
                         "SetFileSecurity failed");

cleanup:
    if (account == nullptr) {
        if (pUserSID != nullptr)
            FreeSid(pUserSID);
    } else {
        free(pUserSID);
    }
    free(szDomain);
    free(pFileSD);
    free(pNewACL);
    return granted;
}

bool BuildAdminOnlyDescriptor(PSID userSID, SECURITY_DESCRIPTOR* newSD, PACL acl)
{
    // The owner's implicit rights are READ_CONTROL and WRITE_DAC: an owner who is the user (where
    // the system makes the creator the owner) could otherwise open the list to themselves.
    const DWORD readAndRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
    static const struct {
        WELL_KNOWN_SID_TYPE type;
        DWORD access;
    } wellKnown[] = {
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinCreatorOwnerRightsSid, readAndRun},
    };
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    if (SysFailed(InitializeAcl(acl, adminOnlyAclCapacity, ACL_REVISION), "InitializeAcl failed"))
        return false;
    for (const auto& entry : wellKnown) {
        DWORD sid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
        DWORD sidSize = sizeof(sid);
        if (SysFailed(CreateWellKnownSid(entry.type, nullptr, sid, &sidSize), "CreateWellKnownSid (%d) failed",
                      entry.type) ||
            SysFailed(AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, entry.access, sid),
                      "AddAccessAllowedAce failed"))
            return false;
    }
    return !SysFailed(AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, readAndRun, userSID),
                      "AddAccessAllowedAce failed") &&
           !SysFailed(InitializeSecurityDescriptor(newSD, SECURITY_DESCRIPTOR_REVISION),
                      "InitializeSecurityDescriptor failed") &&
           !SysFailed(SetSecurityDescriptorDacl(newSD, TRUE, acl, FALSE), "SetSecurityDescriptorDacl failed") &&
           !SysFailed(SetSecurityDescriptorControl(newSD, SE_DACL_PROTECTED, SE_DACL_PROTECTED),
                      "SetSecurityDescriptorControl failed");
}

bool CreateAdminOnlyDirectory(const char* path, bool administratorsOwn)
{
    HANDLE token = nullptr;
    if (SysFailed(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token), "OpenProcessToken failed"))
        return false;
    union {
        TOKEN_USER user;
        DWORD storage[(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD) + 1];
    } owner;
    DWORD size = 0;
    const bool known = !SysFailed(GetTokenInformation(token, TokenUser, &owner, sizeof(owner), &size),
                                  "GetTokenInformation failed");
    CloseHandle(token);
    DWORD acl[adminOnlyAclCapacity / sizeof(DWORD)];
    DWORD administrators[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD sidSize = sizeof(administrators);
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    return known && BuildAdminOnlyDescriptor(owner.user.User.Sid, &descriptor, reinterpret_cast<PACL>(acl)) &&
           (!administratorsOwn ||
            (!SysFailed(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize),
                        "CreateWellKnownSid (%d) failed",
                        WinBuiltinAdministratorsSid) &&
             !SysFailed(SetSecurityDescriptorOwner(&descriptor, administrators, FALSE),
                        "SetSecurityDescriptorOwner failed"))) &&
           !SysFailed(Handed(path, &descriptor) && CreateDirectoryA(path, &attributes), "CreateDirectory failed");
}

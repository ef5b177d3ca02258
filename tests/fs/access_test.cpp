#include "fs/access.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "support.h"
#include "text/format.h"

namespace {

const DWORD dirMask = 0xE01300EF;  // what the directory creation grants to Everyone

// The DACL of granting dirMask to Everyone to `oldSddl` (self-relative, as files hand it out) with its size.
std::string Granted(const std::string& oldSddl, int inheritable)
{
    PSECURITY_DESCRIPTOR oldSD = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(oldSddl.c_str(), SDDL_REVISION_1, &oldSD, nullptr);
    PSID everyone = AllocateEveryoneSid();
    SECURITY_DESCRIPTOR newSD;
    PACL newACL = nullptr;
    char* text = nullptr;
    const bool built = BuildGrantDescriptor(oldSD, everyone, dirMask, inheritable, &newSD, &newACL);
    std::string dacl = "failed: " + std::string(errorMessage);
    if (built && ConvertSecurityDescriptorToStringSecurityDescriptorA(&newSD, SDDL_REVISION_1,
                                                                      DACL_SECURITY_INFORMATION, &text, nullptr))
        dacl = std::string(text) + " " + std::to_string(newACL->AclSize);
    LocalFree(text);
    free(newACL);
    FreeSid(everyone);
    LocalFree(oldSD);
    return dacl;
}

// The new entry names Everyone itself ("WD"); the list keeps its inheritance flags only when it had them.
TEST(BuildGrantDescriptor, KeepsOtherExplicitEntriesThenTheNewOneThenTheInherited)
{
    const struct {
        std::string old;
        int inheritable;
        const char* expected;
    } cases[] = {
        {"D:AI(A;;FA;;;BA)(D;;FA;;;WD)(A;;FR;;;BU)(A;;FW;;;WD)(A;ID;FA;;;SY)(A;ID;FR;;;WD)(D;;FA;;;WD)", 0,
         "D:ARAI(A;;FA;;;BA)(A;;FR;;;BU)(A;;0xe01300ef;;;WD)(A;ID;FA;;;SY)(A;ID;FR;;;WD)(D;;FA;;;WD) 176"},
        {"D:PAI(A;;FA;;;SY)", 1, "D:PARAI(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD) 48"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Granted(c.old, c.inheritable)) << c.old.substr(0, 70);
}

// Only SYSTEM and Administrators may change the folder; the user and any owner read and run; nothing
// comes from the parent. The longest SID a user can have still fits.
TEST(BuildAdminOnlyDescriptor, LetsOnlySystemAndAdministratorsWrite)
{
    for (const std::string user : {"S-1-5-21-1-2-3-1001", "S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14"}) {
        PSID sid = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidA(user.c_str(), &sid)) << GetLastError();
        SECURITY_DESCRIPTOR descriptor;
        DWORD acl[adminOnlyAclCapacity / sizeof(DWORD)];
        char* text = nullptr;
        EXPECT_TRUE(BuildAdminOnlyDescriptor(sid, &descriptor, reinterpret_cast<PACL>(acl))) << errorMessage;
        EXPECT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(
            &descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
        EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)(A;OICI;0x1200a9;;;" + user + ")",
                  std::string(text != nullptr ? text : ""));
        LocalFree(text);
        LocalFree(sid);
    }
    // Made with that list from the start; a folder someone made beforehand is never taken for a new one.
    const std::string directory = FreshDirectory("admin-only");
    handedAccess.clear();
    securityHook = KeepHandedAccess;
    EXPECT_TRUE(CreateAdminOnlyDirectory((directory + "neu").c_str(), true)) << errorMessage;
    ASSERT_FALSE(handedAccess.empty());
    EXPECT_EQ(0u, handedAccess[0].find(directory + "neu: O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)"))
        << handedAccess[0];
    EXPECT_FALSE(CreateAdminOnlyDirectory((directory + "neu").c_str(), false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), errorCode);
    RemoveDirectoryTree(directory);
}

}

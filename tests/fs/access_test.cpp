#include "fs/access.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <stdlib.h>

#include <string>

#include "support.h"
#include "text/format.h"

namespace {

const DWORD dirMask = 0xE01300EF;  // what the directory creation grants to Everyone

// The new DACL in SDDL with its size, or the failing step; the old descriptor is written in SDDL
// and arrives self-relative, as GetFileSecurityA hands it out.
std::string Granted(const std::string& oldSddl, const char* sidText, int inheritable)
{
    PSECURITY_DESCRIPTOR oldSD = nullptr;
    PSID sid = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(oldSddl.c_str(), SDDL_REVISION_1, &oldSD, nullptr);
    ConvertStringSidToSidA(sidText, &sid);
    SECURITY_DESCRIPTOR newSD;
    PACL newACL = nullptr;
    char* text = nullptr;
    const bool built = BuildGrantDescriptor(oldSD, sid, dirMask, inheritable, &newSD, &newACL);
    std::string dacl = "failed: " + std::string(errorMessage);
    if (built && ConvertSecurityDescriptorToStringSecurityDescriptorA(&newSD, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                      &text, nullptr))
        dacl = std::string(text) + " " + std::to_string(newACL->AclSize);
    LocalFree(text);
    free(newACL);
    LocalFree(sid);
    LocalFree(oldSD);
    return dacl;
}

TEST(BuildGrantDescriptor, KeepsOtherExplicitEntriesThenTheNewOneThenTheInherited)
{
    // 3276 entries of 20 bytes: one more of 24 would take the list past its 65535 bytes.
    std::string full = "D:";
    for (int i = 0; i < 3276; ++i)
        full += "(A;;FA;;;WD)";
    const struct {
        std::string old;
        const char* sid;
        int inheritable;
        const char* expected;
    } cases[] = {
        // The account's explicit deny goes; inherited entries follow the new one.
        {"D:(A;;FA;;;BA)(D;;FA;;;WD)(A;;FR;;;BU)(A;ID;FA;;;SY)(A;ID;FR;;;CO)", "WD", 1,
         "D:(A;;FA;;;BA)(A;;FR;;;BU)(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY)(A;ID;FR;;;CO) 136"},
        // An inherited entry of the account itself stays, after the new one.
        {"D:(A;;FA;;;BA)(A;ID;FR;;;WD)(A;ID;FA;;;SY)", "WD", 1,
         "D:(A;;FA;;;BA)(A;OICI;0xe01300ef;;;WD)(A;ID;FR;;;WD)(A;ID;FA;;;SY) 92"},
        // Whatever follows the first inherited entry keeps its place, explicit or not.
        {"D:(A;ID;FA;;;SY)(D;;FA;;;WD)", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY)(D;;FA;;;WD) 68"},
        // A named account loses its allow and deny entries alike, whose room stays free.
        {"D:(D;;FW;;;BA)(A;;FR;;;WD)(A;;FA;;;BA)", "BA", 0, "D:(A;;FR;;;WD)(A;;0xe01300ef;;;BA) 100"},
        // No list and a null list end with the new entry alone.
        {"O:BA", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD) 28"},
        {"D:NO_ACCESS_CONTROL", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD) 28"},
        // Auto-inheritance is carried over, as requested too; protection only without it.
        {"D:AI(A;ID;FA;;;SY)", "WD", 1, "D:ARAI(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY) 48"},
        {"D:P(A;;FA;;;SY)", "WD", 1, "D:P(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD) 48"},
        {"D:PAI(A;;FA;;;SY)", "WD", 1, "D:ARAI(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD) 48"},
        // A list that cannot grow fails rather than being cut to fit.
        {full, "BA", 1, "failed: InitializeAcl failed"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Granted(c.old, c.sid, c.inheritable)) << c.old.substr(0, 70);
}

TEST(GrantAccess, WritesTheListOrLeavesTheFailingStep)
{
    char user[256];
    DWORD userSize = sizeof(user);
    ASSERT_TRUE(GetUserNameA(user, &userSize));
    const std::string directory = FreshDirectory("grant-access");
    EXPECT_TRUE(GrantAccess(directory.c_str(), nullptr, dirMask, 1) && GrantAccess(directory.c_str(), user, dirMask, 0));
    EXPECT_STREQ("GetFileSecurity 1 failed", errorMessage) << "the size probe's message stays behind";
    EXPECT_FALSE(GrantAccess(directory.c_str(), "Kein Konto 4711", dirMask, 1));
    EXPECT_STREQ("LookupAccountName 1 failed", errorMessage);
    EXPECT_FALSE(GrantAccess((directory + "fehlt.txt").c_str(), nullptr, dirMask, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), errorCode);
    RemoveDirectoryTree(directory);
}

}

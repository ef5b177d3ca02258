#include "fs/access.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <stdlib.h>

#include <string>

#include "support.h"
#include "text/format.h"

namespace {

const DWORD dirMask = 0xE01300EF;  // what the directory creation grants to Everyone

// The new DACL in SDDL, inheritance flags included, with its size; the old descriptor is
// written in SDDL and arrives self-relative, as GetFileSecurityA hands it out.
std::string Granted(const char* oldSddl, const char* sidText, int inheritable, WORD* aclSize)
{
    PSECURITY_DESCRIPTOR oldSD = nullptr;
    PSID sid = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(oldSddl, SDDL_REVISION_1, &oldSD, nullptr);
    ConvertStringSidToSidA(sidText, &sid);
    SECURITY_DESCRIPTOR newSD;
    PACL newACL = nullptr;
    char* text = nullptr;
    std::string dacl = "failed: " + std::string(errorMessage);
    if (BuildGrantDescriptor(oldSD, sid, dirMask, inheritable, &newSD, &newACL) &&
        ConvertSecurityDescriptorToStringSecurityDescriptorA(&newSD, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                             nullptr)) {
        dacl = text;
        *aclSize = newACL->AclSize;
    }
    LocalFree(text);
    free(newACL);
    LocalFree(sid);
    LocalFree(oldSD);
    return dacl;
}

TEST(BuildGrantDescriptor, KeepsOtherExplicitEntriesThenTheNewOneThenTheInherited)
{
    const struct {
        const char* old;
        const char* sid;
        int inheritable;
        const char* expected;
        WORD aclSize;
    } cases[] = {
        // The account's explicit deny goes; inherited entries follow the new one.
        {"D:(A;;FA;;;BA)(D;;FA;;;WD)(A;;FR;;;BU)(A;ID;FA;;;SY)(A;ID;FR;;;CO)", "WD", 1,
         "D:(A;;FA;;;BA)(A;;FR;;;BU)(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY)(A;ID;FR;;;CO)", 136},
        // An inherited entry of the account itself stays, after the new one.
        {"D:(A;;FA;;;BA)(A;ID;FR;;;WD)(A;ID;FA;;;SY)", "WD", 1,
         "D:(A;;FA;;;BA)(A;OICI;0xe01300ef;;;WD)(A;ID;FR;;;WD)(A;ID;FA;;;SY)", 92},
        // Whatever follows the first inherited entry keeps its place, explicit or not.
        {"D:(A;ID;FA;;;SY)(D;;FA;;;WD)", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY)(D;;FA;;;WD)", 68},
        // A named account loses its allow and deny entries alike, whose room stays free.
        {"D:(D;;FW;;;BA)(A;;FR;;;WD)(A;;FA;;;BA)", "BA", 0, "D:(A;;FR;;;WD)(A;;0xe01300ef;;;BA)", 100},
        // No list, a null list and an empty list all end with the new entry alone.
        {"O:BA", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD)", 28},
        {"D:NO_ACCESS_CONTROL", "WD", 1, "D:(A;OICI;0xe01300ef;;;WD)", 28},
        {"D:", "BA", 0, "D:(A;;0xe01300ef;;;BA)", 32},
        // Auto-inheritance is carried over as requested too; protection only without it.
        {"D:AI(A;ID;FA;;;SY)", "WD", 1, "D:ARAI(A;OICI;0xe01300ef;;;WD)(A;ID;FA;;;SY)", 48},
        {"D:P(A;;FA;;;SY)", "WD", 1, "D:P(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD)", 48},
        {"D:PAI(A;;FA;;;SY)", "WD", 1, "D:ARAI(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD)", 48},
        {"D:AR(A;;FA;;;SY)", "WD", 1, "D:(A;;FA;;;SY)(A;OICI;0xe01300ef;;;WD)", 48},
    };
    for (const auto& c : cases) {
        WORD aclSize = 0;
        EXPECT_EQ(c.expected, Granted(c.old, c.sid, c.inheritable, &aclSize)) << c.old;
        EXPECT_EQ(c.aclSize, aclSize) << c.old;
    }
}

TEST(BuildGrantDescriptor, FailsWhenTheListHasNoRoomForOneMoreEntry)
{
    // A list cannot grow past 65535 bytes: the new one must fail rather than be cut to fit.
    const DWORD fullSize = 65532;
    PACL full = static_cast<PACL>(malloc(fullSize));
    PSID everyone = nullptr;
    ConvertStringSidToSidA("WD", &everyone);
    InitializeAcl(full, fullSize, ACL_REVISION);
    while (AddAccessAllowedAce(full, ACL_REVISION, FILE_ALL_ACCESS, everyone)) {
    }
    SECURITY_DESCRIPTOR oldSD;
    InitializeSecurityDescriptor(&oldSD, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&oldSD, TRUE, full, FALSE);

    SECURITY_DESCRIPTOR newSD;
    PACL newACL = nullptr;
    EXPECT_FALSE(BuildGrantDescriptor(&oldSD, everyone, dirMask, 1, &newSD, &newACL));
    EXPECT_STREQ("InitializeAcl failed", errorMessage);
    EXPECT_NE(nullptr, newACL) << "handed out for the caller to free";
    free(newACL);
    LocalFree(everyone);
    free(full);
}

TEST(GrantAccess, ReportsTheFailingStepOrWritesTheList)
{
    char userName[256];
    DWORD userNameSize = sizeof(userName);
    ASSERT_TRUE(GetUserNameA(userName, &userNameSize));
    const std::string directory = ScratchFile("grant-access-dir");
    RemoveDirectoryA(directory.c_str());
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    const std::string missingFile = directory + "\\fehlt.txt";
    const std::string missingFolder = directory + "\\fehlt\\datei.txt";

    const struct {
        const std::string& path;
        const char* account;
        bool granted;
        const char* message;
        DWORD code;
    } cases[] = {
        // The size probe's message stays behind on success.
        {directory, nullptr, true, "GetFileSecurity 1 failed", ERROR_INSUFFICIENT_BUFFER},
        {directory, userName, true, "GetFileSecurity 1 failed", ERROR_INSUFFICIENT_BUFFER},
        {directory, "Kein Konto 4711", false, "LookupAccountName 1 failed", ERROR_NONE_MAPPED},
        {missingFile, nullptr, false, "GetFileSecurity 1 failed", ERROR_FILE_NOT_FOUND},
        {missingFolder, userName, false, "GetFileSecurity 1 failed", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        errorMessage[0] = '\0';
        EXPECT_EQ(c.granted, GrantAccess(c.path.c_str(), c.account, dirMask, 1)) << c.path << " " << errorMessage;
        EXPECT_STREQ(c.message, errorMessage) << c.path;
        EXPECT_EQ(c.code, errorCode) << c.path;
    }
    RemoveDirectoryA(directory.c_str());
}

}

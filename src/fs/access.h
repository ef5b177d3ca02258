// Widening the access list of a file or directory, and folders that only administrators may
// change.
//
// A grant gives one account, or Everyone, a set of rights: the account's explicit entries are
// replaced by one allow entry, while every other explicit entry, every inherited entry and the
// access list's inheritance state (its protection from inheritance and its auto-inheritance,
// each only when it had it) are kept. The new list holds the other accounts' explicit
// entries in their old order, then the new entry, then everything from the first inherited entry
// on, unchanged. Owner, group and audit list are neither read nor written.
//
// Nothing is shown: a failing step returns false and leaves its English step message
// ("GetFileSecurity 1 failed" and the like) in errorMessage with the system error captured at
// that moment (text/format.h). The size probes record their message on the way to success as
// well, so callers judge by the result alone.
#pragma once

#include <windows.h>

// Everyone's SID (S-1-1-0), given back with FreeSid; null with the step recorded when it cannot
// be built.
PSID AllocateEveryoneSid();

// Builds into `newSD` (absolute, in the caller's storage) the grant of `accessMask` to `userSID`
// computed from the object's current descriptor `fileSD`; `inheritable` non-zero makes the new
// entry inherit to files and subfolders. *newACL receives the new access list, which `newSD`
// points to; it is a malloc buffer that the caller frees, handed out (or null) on failure too.
bool BuildGrantDescriptor(PSECURITY_DESCRIPTOR fileSD, PSID userSID, DWORD accessMask, int inheritable,
                          SECURITY_DESCRIPTOR* newSD, PACL* newACL);

// Grants `accessMask` on the file or directory `path` to `account`, or to Everyone when it is
// null; true when the new access list was written. A failure leaves the object as it was.
bool GrantAccess(const char* path, const char* account, DWORD accessMask, int inheritable);

// Room for the access list of BuildAdminOnlyDescriptor: its header and four allow entries.
const int adminOnlyAclCapacity = sizeof(ACL) + 4 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE);

// Builds into `newSD` (absolute, in the caller's storage) an access list in `acl`
// (adminOnlyAclCapacity bytes, DWORD-aligned) for a folder whose programs run elevated:
// SYSTEM and Administrators have full control; `userSID` and the folder's owner may only read
// and run, whoever the owner is (an OWNER RIGHTS entry takes the implicit right to change the
// list). Every entry is inherited by files and subfolders made inside; the list is protected,
// so nothing of the parent's comes in. No owner is set. False with the step recorded.
bool BuildAdminOnlyDescriptor(PSID userSID, SECURITY_DESCRIPTOR* newSD, PACL acl);

// For tests only: null in the program. Sees each security descriptor as it is handed to the
// system, with its path: a grant's new list before SetFileSecurity, an admin-only folder's before
// CreateDirectory. False makes that call fail as refused (ERROR_ACCESS_DENIED) without reaching
// the system.
typedef bool (*SecurityHook)(const char* path, PSECURITY_DESCRIPTOR descriptor);
extern SecurityHook securityHook;

// Creates the directory `path` with the access list above for the user of the process's token,
// owned by Administrators when `administratorsOwn` (an elevated token may give it them; where the
// system would make the user the owner, that user could open the list to themselves); false with
// the step recorded, the system error captured (ERROR_ALREADY_EXISTS when something of that name
// is there already, which is never taken over).
bool CreateAdminOnlyDirectory(const char* path, bool administratorsOwn);

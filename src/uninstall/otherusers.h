// The layout leaves the lists of the machine's other users too: it is installed for the whole
// machine, and an entry that outlives the layout's catalogue key names an input method that
// Windows cannot load.
//
// Taken after the running user's lists, while the catalogue still has the layout: every user's
// hive loaded below HKEY_USERS (the SIDs "S-1-5-21-...", not their "_Classes" hives, not the
// running user's own); every profile of the machine's profile list whose hive is not loaded,
// its NTUSER.DAT loaded for the time of the edit as HKEY_USERS\profileHiveKeyName and always
// unloaded again; the sign-in screen's HKEY_USERS\.DEFAULT; the Default profile that new
// accounts copy, where it has an NTUSER.DAT. In each: Preload and Substitutes as for the running
// user, and the language lists, whose values are deleted directly; a user whose only layout was
// the product keeps the standard layout of its language, since that user cannot act now.
//
// There is no table of profiles: each is edited as the system lists it, whatever their number.
// What is bounded is the warning: profileWarningCapacity bytes of lines, each naming a profile;
// a line that does not fit whole is left out, and the warning then ends in "...".
#pragma once

// Where a profile's hive is loaded for the time of its edit.
inline const char profileHiveKeyName[] = "Pelmora-Deinstallation";

const int profileWarningCapacity = 4000;

// For tests only (null in the program): called just before a loaded profile's hive is unloaded,
// while its edit can still be seen.
extern void (*beforeHiveUnload)();

// Removes layoutKey from every other user's lists. One warning box names each profile that could
// not be loaded, edited or unloaded again; the others are edited all the same.
void RemoveFromOtherUsers();

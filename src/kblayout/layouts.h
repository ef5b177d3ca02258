// The user's keyboard layouts: a snapshot of three registry lists, edited in memory and written
// back.
//
// - HKEY_CURRENT_USER "Keyboard Layout\Preload": values "1", "2", ... naming layout identifiers;
//   "1" is the user's default layout.
// - HKEY_CURRENT_USER "Keyboard Layout\Substitutes": an identifier used in Preload, mapped to the
//   layout that really stands for it.
// - HKEY_LOCAL_MACHINE "System\CurrentControlSet\Control\Keyboard Layouts": the catalogue; only
//   its German-language keys are kept.
// A fourth list, the one Windows 8 and later show the user, is not kept in memory:
// RemoveFromLanguageLists edits it in place.
//
// Use: LoadLayoutRegistry once, then one of RemoveUserLayout, AddUserLayout or
// MakeUserLayoutDefault, then WriteUserLayoutLists. Nothing but the write-back and
// RemoveFromLanguageLists changes the registry. Every refusal or warning leaves a German text
// in errorText. Texts in the tables are heap copies kept until the process ends; an unused table
// entry is all zero.
#pragma once

#include <windows.h>

// The machine's catalogue of keyboard layouts, below HKEY_LOCAL_MACHINE.
inline const char layoutCataloguePath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// The user's language lists since Windows 8, below HKEY_CURRENT_USER: one subkey per language
// (named as in its "Languages" value) with a value "LLLL:KLID" (language and layout in
// hexadecimal) for each input method, and "InputMethodOverride" naming the default input method
// the same way. Older Windows have no such key.
inline const char userProfilePath[] = "Control Panel\\International\\User Profile";

const int layoutTableCapacity = 100;
const int languageValueCapacity = 100;  // the product's values in the language lists
const int errorTextSize = 1000;
const int newNameCapacity = 20;

// One Preload value.
struct PreloadEntry {
    char* name;        // value name, e.g. "1"
    char* klid;        // value data: a catalogue key or a substitute key
    char* substitute;  // the Substitutes value named by klid, or null
    int number;        // decimal value of name
    BYTE canonical;    // name is exactly the "%d" rendering of number
    BYTE isStandard;   // work field of the editing: names a standard key
    int newNumber;     // work field of the editing: the new place
    char* newKlid;     // work field of the editing: the identifier to write
};

// One Substitutes value.
struct SubstituteEntry {
    char* name;   // an identifier used in Preload
    char* value;  // the layout identifier that stands for it
};

// One kept catalogue key.
struct LayoutEntry {
    char* keyName;               // the layout identifier
    PreloadEntry* preloadEntry;  // first Preload entry that uses this layout, or null
    char* layoutText;            // "Layout Text", or null
    char* layoutFile;            // "Layout File" (the layout DLL), or null
    char* layoutIdText;          // "Layout Id", or null
    int layoutId;                // hexadecimal value of layoutIdText; 0 when absent
    int keyNumber;               // hexadecimal value of characters 2 to 4 of keyName
};

// The product's layout, which RemoveUserLayout removes: 8 characters ending in "0407", never
// "00000407"; the uninstaller's invocation check fills it from the command line.
extern char layoutKey[MAX_PATH];

extern PreloadEntry preload[layoutTableCapacity];
extern DWORD preloadcount;
extern SubstituteEntry substitutes[layoutTableCapacity];
extern DWORD substitutecount;
extern LayoutEntry layouts[layoutTableCapacity];
extern DWORD layoutcount;
extern PreloadEntry newpreload[layoutTableCapacity];  // the Preload list to write
extern DWORD newpreloadcount;
extern SubstituteEntry newsubstitutes[layoutTableCapacity];  // the Substitutes list to write
extern DWORD newsubstitutecount;
// The two indexes are set by LoadLayoutRegistry, with which every use begins; before it they are
// 0 and mean nothing.
extern int layoutKeyIndex;   // index in layouts of layoutKey (case ignored); -1: not there
extern int layoutFileIndex;  // index in layouts whose "Layout File" is driverFileName; -1: none
extern char driverFileName[MAX_PATH];  // the layout file an installer looks for; empty in the uninstaller
extern BYTE layoutInUse;     // the layout at layoutFileIndex is named in Preload or Substitutes
extern int maxLayoutId;      // largest "Layout Id" in the catalogue, of any language
extern BYTE layoutIdUnknown; // a key of another language could not be read: its "Layout Id" is unknown
extern int maxKeyNumber;     // largest keyNumber in the catalogue's German keys
extern char errorText[errorTextSize];
extern BYTE notInPreload;    // the product's entry is not in Preload: nothing to write
extern BYTE nothingToWrite;  // the lists need no change: nothing to write
extern BYTE keepSubstitutes; // the write-back leaves Substitutes alone
extern char newKeyName[newNameCapacity];   // catalogue key chosen by AddUserLayout
extern char newLayoutId[newNameCapacity];  // its "Layout Id"

// Formats a refusal or warning into errorText.
void SetErrorText(const char* format, ...);

// Reads the three lists into the tables, starting afresh. A Substitutes value belongs to the
// first Preload entry whose klid is its name, letter case ignored. A catalogue key is German by
// its language part in any letter case, its values are found by name in any letter case, and
// the "Layout Id" of every key, of any language, counts towards maxLayoutId; a key of another
// language that cannot be opened only sets layoutIdUnknown. False when a German key or a list
// cannot be opened (a missing Substitutes key is an empty list, a refused one is not) or the
// user's Preload or Substitutes list is longer than its table, so that nothing is written from a
// partial list. Not finding layoutKey is no failure: layoutKeyIndex is -1.
bool LoadLayoutRegistry();

// Reads every value of `key`, the list HKEY_CURRENT_USER\`path`, into `table` and `count`.
// False, with errorText, when there are more than the table holds.
bool ReadValueTable(HKEY key, const char* path, SubstituteEntry* table, DWORD* count);

// True for an 8-character key beginning with "00000", the standard layout of a language.
bool IsStandardLayoutKey(const char* key);

// True when both are null, or both are texts equal with letter case ignored.
bool SameLayoutKey(const char* first, const char* second);

// Computes the lists without every Preload entry that stands for layoutKey (through its
// substitute, or naming it directly), numbered 1 to n without gaps. An entry that stays keeps its
// language, the last four digits of its identifier: a fresh substitute key is "d", a number and
// those digits, and a standard key whose entry leaves goes only to an entry of its language.
// Sets notInPreload when no entry stands for layoutKey. False, with errorText, when layoutKey is
// not in the catalogue or is a standard key.
bool RemoveUserLayout();

// True when Preload has entries and every one stands for layoutKey: the removal would leave the
// user no layout at all.
bool RemovalLeavesNoLayout();

// Computes the lists with a new default layout: a new catalogue key (index -1, named in
// newKeyName and newLayoutId; a number whose key a Preload entry still stands for is passed over)
// or the catalogue entry at `index`; the entries it gives fresh substitute keys keep their
// languages as in RemoveUserLayout. False, with errorText, when layoutKey is already in the
// catalogue, the Preload table is full, the entry cannot be used or a Preload entry already stands
// for it (MakeUserLayoutDefault moves that one), or a new key's number would pass fff or its
// "Layout Id" ffff.
bool AddUserLayout(int index);

// Computes the Preload list with the entry of the layout whose "Layout File" is driverFileName
// (the last entry substituted by that key; layoutKey plays no part) as "1", also from a name "0";
// Substitutes stay as they are. Sets notInPreload when there is no such entry. False, with
// errorText, when no catalogue key has that file.
bool MakeUserLayoutDefault();

// Turns the user's Preload (and, unless keepSubstitutes, Substitutes) list, as it is now, into
// the computed lists, value by value. Until the new lists are complete, every layout that both
// the old and the new lists name stays named in Preload, if need be by an extra value; one that
// Windows loads now (Preload "1", "2", ... up to the first missing number) and also from the
// new list stays among the values it loads. The first write that fails ends the write-back
// there, so that a failure never loses a layout nor hides one behind a gap (extra values may
// then remain, naming a layout twice). Substitutes is created only when there is something to
// write into it; a missing Preload key is not created. True when nothing had to be written or
// all was written; false with errorText otherwise. An empty Preload list is never written.
bool WriteUserLayoutLists();

// Takes layoutKey out of the user's language lists: each value "LLLL:<layoutKey>" (letter case
// ignored) of a language goes first through InstallLayoutOrTip of the system's input.dll, where
// there is one, and is then deleted directly if it is still there; InputMethodOverride is
// deleted when it still names the layout so. Nothing else changes, and without the key nothing
// happens. Redirection must be on (LoadSystemDll). True when nothing of the layout is left;
// false with errorText naming each key that could not be read and each value left.
bool RemoveFromLanguageLists();

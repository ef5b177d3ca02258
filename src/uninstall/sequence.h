// The uninstallation itself, run by the copy in the temporary directory once its window exists.
//
// Checks that the key names this product's installed layout and that the user keeps a layout,
// asks (once more when the DLL is missing), checks again on the lists as they are after the last
// answer, then removes the driver DLL, the layout from the user's lists (Preload and
// Substitutes, then the language lists), its catalogue key, the desktop shortcut, the helper
// files, the product folder and the uninstall entry. Under WOW64 file-system redirection is off
// only while the DLL is looked for and deleted in the native system directory; every box, the
// status line and the shell's calls run with it on, as in every 32-bit program. Nothing is
// changed before the user's Yes; until the DLL is gone an abort leaves the installation whole;
// after that every failure is a warning and the sequence runs to its end.
// The running user's lists are followed by every other user's (uninstall/otherusers.h).
#pragma once

// Runs the sequence with its boxes; always false, so the program ends after it.
bool RunUninstall();

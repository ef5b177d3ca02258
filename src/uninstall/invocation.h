// The invocation check: the layout key the uninstaller was started with.
#pragma once

#include <windows.h>

// The product's layout key from the command line: 8 characters ending in "0407", never
// "00000407", once the check has passed.
extern char layoutKey[MAX_PATH];

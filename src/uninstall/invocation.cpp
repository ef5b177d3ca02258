#include "uninstall/invocation.h"

char layoutKey[MAX_PATH];

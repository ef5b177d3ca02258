#include <string.h>

#include "kblayout/layouts.h"
#include "text/convert.h"

void LeaveStandardLayout()
{
    if (!RemovalLeavesNoLayout())
        return;
    DWORD first = 0;
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (preload[i].name != nullptr && strcmp(preload[i].name, "1") == 0)
            first = i;
    }
    // A Preload identifier's last four digits are its language; the product's own stands in for
    // one that has none.
    const char* klid = preload[first].klid;
    char standard[newNameCapacity];
    wsprintfA(standard, "0000%s", klid != nullptr && strlen(klid) == 8 ? klid + 4 : "0407");
    newpreload[0] = PreloadEntry();
    newpreload[0].name = HeapText("1");
    newpreload[0].klid = HeapText(standard);
    newpreload[0].number = 1;
    newpreloadcount = 1;
    newsubstitutecount = 0;
    notInPreload = nothingToWrite = keepSubstitutes = 0;
}

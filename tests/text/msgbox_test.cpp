#include "text/msgbox.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "support.h"

// The hook sees each text unconverted; switched off, the boxes are real, answered from another process.
TEST(MessageBoxTest, HookedAndRealBoxesOwnedByTheMainWindowOnceItExists)
{
    static std::string hooked;
    hooked.clear();
    messageHook = [](HWND, const char* text, const char* caption, UINT type) {
        hooked += std::string(caption) + ": " + text + " " + std::to_string(type) + "\n";
        return IDNO;
    };
    useMessageHook = true;
    EXPECT_EQ(IDNO, MsgWarningTitled("Tastaturtreiber-Deinstallation", "Datei %s\t", "x"));
    useMessageHook = false;
    strcpy(programName, "Pelmora");
    mainWindow = nullptr;
    BoxDriver driver = StartBoxDriver("OK YES");
    EXPECT_EQ(IDOK, MsgInfo("Vor dem Fenster:\tLösche %s", "a.dll"));
    mainWindow = CreateWindowExA(0, "STATIC", "Besitzer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(IDYES, MsgAskYesNo("Wirklich deinstallieren?"));
    char owner[32];
    sprintf(owner, "owner: 0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(mainWindow)));
    const std::string records = FinishBoxDriver(driver);
    EXPECT_NE(std::string::npos, records.find("caption: Pelmora\ntext: Vor dem Fenster:\\r\\nLösche a.dll\n"
                                              "buttons: OK\nicon: information\nwindow: \nowner: 0\n")) << records;
    EXPECT_NE(std::string::npos, records.find("caption: Pelmora\ntext: Wirklich deinstallieren?\n"
                                              "buttons: YES NO\nicon: question\nwindow: Besitzer 200x100\n" + std::string(owner))) << records;
    EXPECT_EQ("Tastaturtreiber-Deinstallation: Datei x\t " + std::to_string(MB_OK | MB_ICONEXCLAMATION) + "\n", hooked);
    DestroyWindow(mainWindow);
    // The line break takes its two bytes; the character after it no longer fits.
    char target[5] = "####";
    ConvertControlChars(target, 4, "a\tb");
    EXPECT_STREQ("a\r\n", target);
}

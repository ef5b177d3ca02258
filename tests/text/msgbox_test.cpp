#include "text/msgbox.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "shell/environment.h"
#include "shell/startup.h"
#include "support.h"

namespace {

TEST(ConvertControlChars, TurnsControlCharactersIntoLineBreaks)
{
    const struct {
        const char* source;
        int capacity;
        const char* expected;
    } cases[] = {
        {"a\tb", 100, "a\r\nb"}, {"a\nb\r\nc", 100, "a\nb\r\nc"}, {"\x01\x1F", 100, "\r\n\r\n"},
        {"Lösche ", 100, "Lösche "}, {"a\tb", 3, "a"},          {"abc", 3, "ab"},
    };
    for (const auto& c : cases) {
        char target[104];
        memset(target, '#', sizeof(target));
        ConvertControlChars(target, c.capacity, c.source);
        EXPECT_STREQ(c.expected, target) << c.source;
        EXPECT_EQ('#', target[c.capacity]) << "written beyond the capacity for " << c.source;
    }
}

struct SeenBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int calls;
};
SeenBox seen;

int RecordBox(HWND owner, const char* text, const char* caption, UINT type)
{
    seen = {owner, text, caption, type, seen.calls + 1};
    return IDNO;
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        strcpy(programName, "Uninstall_Pelmoradrv");
        mainWindow = nullptr;
        seen = SeenBox();
    }
    void TearDown() override
    {
        useMessageHook = quietMessages = false;
        messageHook = nullptr;
        mainWindow = nullptr;
    }
};

TEST_F(MessageBoxTest, EachEntryPointHasItsIconButtonsAndCaption)
{
    useMessageHook = true;
    messageHook = RecordBox;
    mainWindow = GetDesktopWindow();
    EXPECT_EQ(IDNO, MsgInfo("Info %d\tTab", 1));
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), seen.type);
    EXPECT_EQ("Info 1\tTab", seen.text) << "the hook sees the text unconverted";
    EXPECT_EQ("Uninstall_Pelmoradrv", seen.caption);
    EXPECT_EQ(mainWindow, seen.owner);
    MsgAskYesNo("Frage");
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), seen.type);
    MsgWarning("Warnung");
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), seen.type);
    MsgWarningTitled("Tastaturtreiber-Deinstallation", "Datei %s", "x");
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), seen.type);
    EXPECT_EQ("Tastaturtreiber-Deinstallation", seen.caption);
    EXPECT_EQ("Datei x", seen.text);
    EXPECT_STREQ("Datei x", messageText);
    EXPECT_EQ(4, seen.calls);

    quietMessages = true;
    EXPECT_EQ(IDOK, MsgAskYesNo("Wirklich?")) << "callers take it as No";
    EXPECT_EQ(4, seen.calls);
}

// A real box under the X server, found and answered by the driver from another process.
TEST_F(MessageBoxTest, RealBoxesAreOwnedByTheMainWindowOnceItExists)
{
    // A hook that is set but switched off shows nothing: the boxes are real.
    messageHook = RecordBox;
    BoxDriver driver = StartBoxDriver("OK YES");
    EXPECT_EQ(IDOK, MsgInfo("Vor dem Fenster:\tLösche %s", "a.dll"));
    const HWND owner = CreateWindowExA(0, "STATIC", "Besitzer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
    mainWindow = owner;
    EXPECT_EQ(IDYES, MsgAskYesNo("Wirklich deinstallieren?"));
    const std::string records = FinishBoxDriver(driver);
    DestroyWindow(owner);
    EXPECT_EQ(0, seen.calls);

    char ownerText[32];
    sprintf(ownerText, "owner: 0x%llX\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(owner)));
    EXPECT_EQ("caption: Uninstall_Pelmoradrv\n"
              "text: Vor dem Fenster:\\r\\nLösche a.dll\n"
              "buttons: OK\n"
              "icon: information\n"
              "owner: 0\n",
              records.substr(0, records.find("pid:")));
    const std::string second = records.substr(records.find("caption:", 10));
    EXPECT_EQ(std::string("caption: Uninstall_Pelmoradrv\n"
                          "text: Wirklich deinstallieren?\n"
                          "buttons: YES NO\n"
                          "icon: question\n") +
                  ownerText,
              second.substr(0, second.find("pid:")));
}

}

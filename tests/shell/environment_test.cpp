#include "shell/environment.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CommandLineTest, SplitsOnBlanksAndQuotesOnlyIntoThirtyWordsOfUpTo259Units)
{
    const std::string many = "u.exe A B C D E F G H I J K L M N O P Q R S T U V W X Y Z a b c d e f g h i";
    const std::string cases[][3] = {
        {many, "A|B|C|D|E|F|G|H|I|J|K|L|M|N|O|P|Q|R|S|T|U|V|W|X|Y|Z|a|b|c|d|", many.substr(6)},
        {"\"C:\\Pro gram\\u.exe\"  a\tb \"c d\"  \"e\"f \"\" \"to the end", "a\tb|c d|e|f||to the end|",
         "a\tb \"c d\"  \"e\"f \"\" \"to the end"},
        // A leading blank leaves the program name empty: the program path becomes an argument.
        {" C:\\u.exe   ", "C:\\u.exe|", "C:\\u.exe   "},
    };
    for (const auto& c : cases) {
        SplitCommandLine(std::wstring(c[0].begin(), c[0].end()).c_str());
        std::string arguments;
        for (int i = 0; i < maxArguments; ++i)
            arguments += argTable[i] + std::string(i < argCount ? "|" : "");
        EXPECT_EQ(c[1] + c[2], arguments + cmdLineTail) << c[0];
    }
    FreeCommandLineCopies();
}

// Without a network logon the network user is the logged-on user; mpr.dll is loaded for the call alone.
TEST(EnvironmentTest, NamesTheNetworkUserAndLetsItsDllGo)
{
    ProbeEnvironment();
    EXPECT_TRUE(netUserNameW[0] != L'\0' && sameUser);
    EXPECT_EQ(nullptr, GetModuleHandleA("mpr.dll"));
    FreeCommandLineCopies();
}

}

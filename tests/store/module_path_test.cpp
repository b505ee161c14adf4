#include <gtest/gtest.h>

#include "store/log_file.h"
#include "store/module_path.h"
#include "store/profile.h"

namespace {

TEST(ModulePath, IniPathReplacesOrAppendsTheExtension)
{
    EXPECT_EQ(IniPathForExecutable("/opt/t/prog.exe"), "/opt/t/prog.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/t/my.tool.exe"), "/opt/t/my.tool.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/t/prog"), "/opt/t/prog.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/A.B/tool"), "/opt/A.B/tool.ini");
    EXPECT_EQ(IniPathForExecutable("C:\\A.B\\tool"), "C:\\A.B\\tool.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/t/prog."), "/opt/t/prog.ini");
}

TEST(ModulePath, BlanksAroundTheIniPathAreRemovedFirst)
{
    EXPECT_EQ(IniPathForExecutable(" \t/opt/t/prog.exe \r"), "/opt/t/prog.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/t/prog \t"), "/opt/t/prog.ini");
    EXPECT_EQ(TrimBlanks("\tx \r"), "x");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks(""), "");
}

TEST(ModulePath, LogPathKeepsBlanks)
{
    EXPECT_EQ(LogPathForExecutable("/opt/t/prog.exe"), "/opt/t/prog.log");
    EXPECT_EQ(LogPathForExecutable("/opt/A.B/tool"), "/opt/A.B/tool.log");
    EXPECT_EQ(LogPathForExecutable("/opt/t/prog "), "/opt/t/prog .log");
}

TEST(ModulePath, TheRunningExecutableIsFound)
{
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.find("store_tests"), std::string::npos);
    EXPECT_EQ(CProfile().Path(), exe + ".ini");
}

} // namespace

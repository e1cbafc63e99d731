#include "goldmine/sysinfo.h"

#include <gtest/gtest.h>

#include "goldmine/login_messages.h"

namespace pelmora {
namespace {

TEST(ProgramDirFromSysInfo, TextBetweenMarkerAndProgramName) {
  EXPECT_EQ(ProgramDirFromSysInfo("User = JOHN\r\nGoldMine EXE = C:\\GoldMine\\gmw.exe\r\n"),
            "C:\\GoldMine\\");
}

TEST(ProgramDirFromSysInfo, MissingOrMisspelledPiecesGiveEmpty) {
  EXPECT_EQ(ProgramDirFromSysInfo("GoldMine exe = C:\\G\\gmw.exe"), "");
  EXPECT_EQ(ProgramDirFromSysInfo("GoldMine EXE = C:\\G\\GMW.EXE"), "");
  EXPECT_EQ(ProgramDirFromSysInfo("gmw.exe GoldMine EXE = C:\\G\\"), "");
  EXPECT_EQ(ProgramDirFromSysInfo("GoldMine EXE = gmw.exe"), "");
  EXPECT_EQ(ProgramDirFromSysInfo(""), "");
}

TEST(ProgramDirFromSysInfo, FirstMarkerCounts) {
  EXPECT_EQ(ProgramDirFromSysInfo("GoldMine EXE = C:\\A\\gmw.exe\nGoldMine EXE = D:\\B\\gmw.exe"),
            "C:\\A\\");
}

TEST(LoginFailureMessage, DocumentedCodesAndEmptyForOthers) {
  EXPECT_EQ(LoginFailureMessage(0), "API already loaded");
  EXPECT_EQ(LoginFailureMessage(-1), "API failed to load (dll not in path?)");
  EXPECT_EQ(LoginFailureMessage(-5), "Invalid GoldDir");
  EXPECT_EQ(LoginFailureMessage(-6), "Invalid CommonDir");
  EXPECT_EQ(LoginFailureMessage(-7), "Failed to allocate the needed TLS slot");
  EXPECT_EQ(LoginFailureMessage(-8), "General Failure");
  EXPECT_EQ(LoginFailureMessage(-9), "No access to specified contact set for this user");
  EXPECT_EQ(LoginFailureMessage(-10), "");
  EXPECT_EQ(LoginFailureMessage(-2), "");
}

}  // namespace
}  // namespace pelmora

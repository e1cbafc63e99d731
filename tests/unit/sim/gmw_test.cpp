#include <gtest/gtest.h>

#include <fstream>

#include "sim/core/accounts.h"
#include "sim/core/control_command.h"
#include "sim/core/data_folder.h"
#include "sim/core/dde_items.h"
#include "sim/core/demo_data.h"
#include "sim/core/gmw_options.h"
#include "tests/unit/sim/test_data.h"

namespace pelmora::sim {
namespace {

TEST(GmwOptions, ParsesEveryOptionAndRejectsBadUse) {
  std::string error;
  auto options = ParseGmwOptions({"--data", "d", "--demo", "--sysinfo", "", "--golddir", "g",
                                  "--commondir", "c", "--credentials", "t"},
                                 &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->data, "d");
  EXPECT_TRUE(options->demo);
  EXPECT_EQ(options->sysinfo, "");  // empty is kept: it gives an empty reply
  EXPECT_EQ(options->golddir, "g");
  EXPECT_EQ(options->commondir, "c");
  EXPECT_EQ(options->credentials, "t");
  EXPECT_FALSE(options->seed);
  for (auto args :
       std::vector<std::vector<std::string>>{{},
                                             {"--demo"},
                                             {"--data"},
                                             {"--data", "d", "--seed"},
                                             {"--data", "d", "--what"},
                                             {"--data", "d", "--demo", "--seed", "s.sql"}}) {
    error.clear();
    EXPECT_FALSE(ParseGmwOptions(args, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(GmwOptions, CommandLineKeepsBackslashesAndQuotedBlanks) {
  EXPECT_EQ(SplitCommandLine(R"("C:\bin\gmw.exe" --data "C:\run dir\" --seed Z:\s.sql)"),
            (std::vector<std::string>{"C:\\bin\\gmw.exe", "--data", "C:\\run dir\\", "--seed",
                                      "Z:\\s.sql"}));
  EXPECT_EQ(SplitCommandLine(R"(gmw --sysinfo "" --credentials "say ""hi""")"),
            (std::vector<std::string>{"gmw", "--sysinfo", "", "--credentials", "say \"hi\""}));
  EXPECT_EQ(SplitCommandLine("  a\tb  "), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
}

TEST(ControlCommand, ParsesTheFiveCommands) {
  using Kind = ControlCommand::Kind;
  auto select = ParseControlCommand("select O'B ACC 1");
  ASSERT_TRUE(select);
  EXPECT_EQ(select->kind, Kind::kSelect);
  EXPECT_EQ(select->argument, "O'B ACC 1");
  auto extra = ParseControlCommand(std::string_view("select-additional ADD1\0", 23));
  ASSERT_TRUE(extra);
  EXPECT_EQ(extra->kind, Kind::kSelectAdditional);
  EXPECT_EQ(extra->argument, "ADD1");
  EXPECT_EQ(ParseControlCommand("stop")->kind, Kind::kStop);
  EXPECT_EQ(ParseControlCommand("resume")->kind, Kind::kResume);
  EXPECT_EQ(ParseControlCommand("quit")->kind, Kind::kQuit);
  EXPECT_FALSE(ParseControlCommand("select "));
  EXPECT_FALSE(ParseControlCommand("Stop"));
  EXPECT_FALSE(ParseControlCommand("reload"));
}

TEST(DdeItems, RepliesAndOverrides) {
  DdeState state{"C:\\GM\\gmw.exe", "C:\\Data\\", "C:\\Data\\common\\", "T1", "ACC1", "REC1"};
  GmwOptions options;
  std::string sysinfo = *DdeReply(state, options, "&SysInfo");
  EXPECT_NE(sysinfo.find("GoldMine EXE = C:\\GM\\gmw.exe"), std::string::npos);
  EXPECT_NE(sysinfo.find('\n'), std::string::npos);
  EXPECT_EQ(DdeReply(state, options, "[GetLoginCredentials]"), "T1");
  EXPECT_EQ(DdeReply(state, options, "&golddir"), "C:\\Data\\");
  EXPECT_EQ(DdeReply(state, options, "&CommonDir"), "C:\\Data\\common\\");
  EXPECT_EQ(DdeReply(state, options, "contact1->accountno"), "ACC1");
  EXPECT_EQ(DdeReply(state, options, "&BrowseRecNo"), "REC1");
  EXPECT_FALSE(DdeReply(state, options, "&Nothing"));
  options.sysinfo = "";
  options.credentials = "bad";
  options.golddir = "X:\\";
  options.commondir = "Y:\\";
  EXPECT_EQ(DdeReply(state, options, "&SysInfo"), "");
  EXPECT_EQ(DdeReply(state, options, "[GetLoginCredentials]"), "bad");
  EXPECT_EQ(DdeReply(state, options, "&GoldDir"), "X:\\");
  EXPECT_EQ(DdeReply(state, options, "&CommonDir"), "Y:\\");
}

TEST(DataFolder, DemoSeedAndAFailingSeedThatKeepsTheData) {
  TestFolder folder;
  GmwOptions options;
  options.data = (folder.path() / "gold").string();
  options.demo = true;
  std::string error;
  auto prepared = PrepareDataFolder(options, kDemoSql, "T-1", &error);
  ASSERT_TRUE(prepared) << error;
  EXPECT_TRUE(std::filesystem::is_directory(prepared->common_dir));
  SimDatabase db;
  ASSERT_TRUE(db.Open(prepared->gold_dir / kDatabaseFile, false, &error));
  EXPECT_EQ(db.Ticket(), "T-1");
  EXPECT_GE(LoadAccounts(db, &error)->size(), 5u);
  db.Close();

  std::ofstream(folder.path() / "bad.sql") << "insert into contact1(accountno, recid) values "
                                              "('X', 'Y');\ninsert into nowhere values(1);";
  options.demo = false;
  options.seed = (folder.path() / "bad.sql").string();
  EXPECT_FALSE(PrepareDataFolder(options, kDemoSql, "T-2", &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
  ASSERT_TRUE(db.Open(prepared->gold_dir / kDatabaseFile, false, &error));
  EXPECT_GE(LoadAccounts(db, &error)->size(), 5u);
  db.Close();

  std::ofstream(folder.path() / "good.sql") << kTestData;
  options.seed = (folder.path() / "good.sql").string();
  ASSERT_TRUE(PrepareDataFolder(options, kDemoSql, "T-3", &error)) << error;
  ASSERT_TRUE(db.Open(prepared->gold_dir / kDatabaseFile, false, &error));
  auto accounts = LoadAccounts(db, &error);
  ASSERT_EQ(accounts->size(), 2u);
  EXPECT_EQ(accounts->at(0).additional.at(0).contact, "Bob Extra");
  EXPECT_EQ(db.Ticket(), "T-3");

  options.seed = (folder.path() / "absent.sql").string();
  EXPECT_FALSE(PrepareDataFolder(options, kDemoSql, "T-4", &error));
}

}  // namespace
}  // namespace pelmora::sim

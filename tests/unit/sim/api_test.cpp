#include "sim/core/api.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "tests/unit/sim/test_data.h"

namespace pelmora::sim {
namespace {

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeTestDatabase(db_, folder_);
    db_.Close();
    std::filesystem::create_directories(folder_.path() / "common");
  }
  SimApi MakeApi() {
    return SimApi(
        [this](const std::string& name) -> std::optional<std::string> {
          auto it = env_.find(name);
          if (it == env_.end()) return std::nullopt;
          return it->second;
        },
        [](std::string_view text) { return "<" + std::string(text) + ">"; }, 7);
  }
  int Login(SimApi& api, const std::string& password = "TICKET-1") {
    return api.LoadApi("", gold(), common(), kSharedSignOnUser, password);
  }
  std::string gold() const { return folder_.str() + "/"; }
  std::string common() const { return (folder_.path() / "common").string() + "/"; }
  std::vector<std::string> Events() {
    std::ifstream in(folder_.path() / kEventLogFile);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> FetchAll(SimApi& api, int query) {
    std::vector<std::string> batches;
    for (int guard = 0; guard < 100; ++guard) {
      auto* cursor = api.Query(query);
      if (cursor == nullptr) break;
      size_t size = cursor->NextSize();
      std::vector<char> buffer(size + 1);
      if (size == 0 || cursor->Fill(buffer.data(), size) == 0) break;
      batches.emplace_back(buffer.data());
      if (batches.back()[0] != '0') break;
    }
    return batches;
  }

  TestFolder folder_;
  SimDatabase db_;
  std::map<std::string, std::string> env_;
};

TEST_F(ApiTest, LoginCodesFollowRealValidation) {
  SimApi api = MakeApi();
  EXPECT_EQ(api.LoadApi("", gold() + "missing", common(), kSharedSignOnUser, "TICKET-1"),
            kInvalidGoldDir);
  EXPECT_EQ(api.LoadApi("", (folder_.path() / "common").string(), common(), kSharedSignOnUser,
                        "TICKET-1"),
            kInvalidGoldDir);  // a folder without the database
  EXPECT_EQ(api.LoadApi("", gold(), gold() + "nocommon", kSharedSignOnUser, "TICKET-1"),
            kInvalidCommonDir);
  EXPECT_EQ(api.LoadApi("", gold(), common(), "MASTER", "TICKET-1"), kGeneralFailure);
  EXPECT_EQ(Login(api, "TICKET-2"), kGeneralFailure);
  EXPECT_EQ(Login(api, ""), kGeneralFailure);
  EXPECT_FALSE(api.LoggedIn());
  EXPECT_EQ(Login(api), kLoggedIn);
  EXPECT_EQ(Login(api), kAlreadyLoggedIn);
  EXPECT_EQ(api.UnloadApi(), 1);
  // The first two failures were logged into the folders they named.
  EXPECT_EQ(Events(), (std::vector<std::string>{"login -6", "login -8", "login -8", "login -8",
                                                "login 1", "login 0", "logout"}));
}

TEST_F(ApiTest, ForcedLoginCodeIsReturnedAndLogged) {
  SimApi api = MakeApi();
  env_["GM_SIM_LOGIN_CODE"] = "-9";
  EXPECT_EQ(Login(api), -9);
  EXPECT_EQ(api.DsQuery("select 1", "\x01", "\x02"), 0);
  env_["GM_SIM_LOGIN_CODE"] = "not a number";
  EXPECT_EQ(Login(api, "wrong"), kGeneralFailure);
  env_["GM_SIM_LOGIN_CODE"] = "3";
  EXPECT_EQ(Login(api, "wrong"), 3);
  EXPECT_GT(api.DsQuery("select 1", "\x01", "\x02"), 0);  // the data is reachable
  EXPECT_EQ(Events(), (std::vector<std::string>{"login -9", "login -8", "login 3"}));
}

TEST_F(ApiTest, QueryComesInBatchesOfTheConfiguredSize) {
  env_["GM_SIM_BATCH_ROWS"] = "2";
  SimApi api = MakeApi();
  ASSERT_EQ(Login(api), kLoggedIn);
  int query = api.DsQuery("select recid, null from contsupp where recid like 'W%' order by recid",
                          "\x01", "\x02");
  ASSERT_GT(query, 0);
  auto batches = FetchAll(api, query);
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0], "0\x01<W'6>\x01<>\x01\x02<W1>\x01<>\x01\x02");
  EXPECT_EQ(batches[2], "1\x01<W4>\x01<>\x01\x02<W5>\x01<>\x01\x02");
  EXPECT_EQ(api.DsClose(query), 1);
  EXPECT_EQ(api.DsClose(query), 0);
  EXPECT_EQ(api.DsQuery("select * from nowhere", "\x01", "\x02"), 0);
  EXPECT_EQ(api.DsQuery("update contsupp set title=''", "\x01", "\x02"), 0);
}

TEST_F(ApiTest, WriteDetailAndDeleteThroughTheEntryPoints) {
  SimApi api = MakeApi();
  int c = api.NvCreate();
  EXPECT_EQ(api.Execute("WriteDetail", c), 0);  // not logged in yet
  ASSERT_EQ(Login(api), kLoggedIn);
  for (auto [name, value] : std::initializer_list<std::pair<const char*, const char*>>{
           {"recid", ""},
           {"detail", "Web Site"},
           {"accountno", "ACC1"},
           {"ufield1", "Flickr "},
           {"ufield2", "REC1"},
           {"ufield3", "Personal"},
           {"ufield10", "http://f.example"}}) {
    EXPECT_EQ(api.NvSetValue(c, name, value), 1);
  }
  EXPECT_EQ(api.Execute("writedetail", c), 1);
  EXPECT_EQ(api.Execute("WriteHistory", c), 0);
  EXPECT_EQ(api.Execute("WriteDetail", c + 100), 0);
  int list = api.DsQuery(PrimarySql("ACC1"), "\x01", "\x02");
  auto batches = FetchAll(api, list);
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_NE(batches[0].find("<Flickr >"), std::string::npos);

  int t = api.DbOpen("contsupp");
  ASSERT_GT(t, 0);
  ASSERT_TRUE(api.Table(t)->SetOrder("cnsrecid"));
  ASSERT_TRUE(api.Table(t)->Top());
  ASSERT_TRUE(api.Table(t)->Seek("W1"));
  EXPECT_EQ(api.DbDelete(t), 1);
  EXPECT_EQ(api.DbDelete(t), 0);
  EXPECT_EQ(api.DbClose(t), 1);
  EXPECT_EQ(api.DbOpen("notes"), 0);
  EXPECT_EQ(api.NvDelete(c), 1);
  EXPECT_EQ(api.NvSetValue(c, "a", "b"), 0);
  api.UnloadApi();
  // Before the log-in the library knows no GoldDir to log into.
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"login 1", "execute writedetail 1", "execute WriteHistory 0",
                                      "execute WriteDetail 0", "delete W1", "logout"}));
}

TEST_F(ApiTest, RangeReadsAnOrderedSliceOfCheckedColumns) {
  SimApi api = MakeApi();
  ASSERT_EQ(Login(api), kLoggedIn);
  int t = api.DbOpen("contsupp");
  EXPECT_EQ(api.DsRange(t, "", "", "", "\x01", "\x02"), 0);  // no order yet
  ASSERT_TRUE(api.Table(t)->SetOrder("cnsrecid"));
  int q = api.DsRange(t, "W2", "W4", "recid, title", "\x01", "\x02");
  ASSERT_GT(q, 0);
  auto batches = FetchAll(api, q);
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0],
            "1\x01<W2>\x01<LinkedIn >\x01\x02<W3>\x01<Twitter>\x01\x02<W4>\x01<Orphan>\x01\x02");
  EXPECT_EQ(api.DsRange(t, "", "", "recid; drop table x", "\x01", "\x02"), 0);
  EXPECT_EQ(api.DsRange(t + 100, "", "", "", "\x01", "\x02"), 0);
}

}  // namespace
}  // namespace pelmora::sim

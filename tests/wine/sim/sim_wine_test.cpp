#include <windows.h>

#include <ddeml.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim/sim_control.h"

namespace pelmora::sim {
namespace {

constexpr const char* kSeed = R"sql(
insert into contact1 (accountno, recid, company, contact) values
  ('ACC1', 'REC1AAAAAAAAAAA', 'Alpha', 'Ann Primary'),
  ('O''B ACC', 'REC''2AAAAAAAAAA', 'Beta', 'Zoë O''Brien');
insert into contsupp (accountno, recid, rectype, contact, title) values
  ('ACC1', 'ADD1AAAAAAAAAAA', 'C', 'Bob Extra', 'Buyer');
insert into contsupp (accountno, recid, rectype, contact, title, linkacct, country, address1, address2) values
  ('ACC1', 'W1', 'P', 'Web Site', 'Website', 'REC1AAAAAAAAAAA', 'Company', 'http://a.example', NULL),
  ('ACC1', 'W2', 'P', 'Web Site', 'LinkedIn ', 'REC1AAAAAAAAAAA', 'Personal', 'http://l.example', 'x'),
  ('ACC1', 'W3', 'P', 'Web Site', 'Twitter', 'REC1AAAAAAAAAAA', 'Personal', 'http://t.example', ''),
  ('ACC1', 'W4', 'P', 'Web Site', 'Flickr ', 'REC1AAAAAAAAAAA', 'Personal', 'http://f.example', '');
)sql";

std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::wstring GoldMineBin() { return ExeFolder() + L"goldmine\\"; }

std::string Narrow(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), n, nullptr, nullptr);
  return text;
}

// One gmw.exe for the whole binary, on seeded data in a fresh folder.
struct Sim {
  std::wstring data;
  SimProcess process;
  std::wstring error;
};
Sim* g_sim = nullptr;

class SimEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_sim = new Sim;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    g_sim->data = std::wstring(temp) + L"gm sim wine-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(g_sim->data.c_str(), nullptr);
    std::wstring seed = g_sim->data + L"-seed.sql";
    HANDLE file = CreateFileW(seed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, kSeed, static_cast<DWORD>(std::strlen(kSeed)), &written, nullptr);
    CloseHandle(file);
    auto started =
        StartSim(GoldMineBin() + L"gmw.exe", {L"--data", g_sim->data + L"\\", L"--seed", seed},
                 180000, &g_sim->error);
    if (started) g_sim->process = *started;
  }
  void TearDown() override {
    if (g_sim->process.process) {
      EXPECT_TRUE(StopSim(g_sim->process, 30000));
    }
    std::error_code ec;
    std::filesystem::remove_all(g_sim->data, ec);
    std::filesystem::remove(g_sim->data + L"-seed.sql", ec);
    delete g_sim;
  }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SimEnvironment);

HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

// A DDEML client conversation with the stand-in, as Pelmora holds one.
class DdeClient {
 public:
  DdeClient() {
    DdeInitializeW(&instance_, DdeCallback, APPCMD_CLIENTONLY, 0);
    HSZ service = DdeCreateStringHandleW(instance_, L"GoldMine", CP_WINUNICODE);
    HSZ topic = DdeCreateStringHandleW(instance_, L"Data", CP_WINUNICODE);
    conversation_ = DdeConnect(instance_, service, topic, nullptr);
    DdeFreeStringHandle(instance_, service);
    DdeFreeStringHandle(instance_, topic);
  }
  ~DdeClient() {
    if (conversation_) DdeDisconnect(conversation_);
    DdeUninitialize(instance_);
  }
  bool Connected() const { return conversation_ != nullptr; }
  // The reply, or nothing when the request failed.
  std::optional<std::string> Request(const wchar_t* item) {
    HSZ name = DdeCreateStringHandleW(instance_, item, CP_WINUNICODE);
    DWORD result = 0;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation_, name, CF_TEXT, XTYP_REQUEST,
                                         10000, &result);
    DdeFreeStringHandle(instance_, name);
    if (data == nullptr) return std::nullopt;
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string text(size, '\0');
    DdeGetData(data, reinterpret_cast<BYTE*>(text.data()), size, 0);
    DdeFreeDataHandle(data);
    return std::string(text.c_str());
  }

 private:
  DWORD instance_ = 0;
  HCONV conversation_ = nullptr;
};

#define REQUIRE_SIM() ASSERT_NE(g_sim->process.window, nullptr) << Narrow(g_sim->error)

TEST(Dde, EveryItemAnswersTwiceInARow) {
  REQUIRE_SIM();
  DdeClient dde;
  ASSERT_TRUE(dde.Connected());
  std::string gold = Narrow(g_sim->data) + "\\";
  std::map<std::wstring, std::string> expected{
      {L"&GoldDir", gold},
      {L"&CommonDir", gold + "common\\"},
      {L"contact1->accountno", "ACC1"},
      {L"&BrowseRecNo", "REC1AAAAAAAAAAA"},
  };
  for (const wchar_t* item : {L"&SysInfo", L"[GetLoginCredentials]", L"&GoldDir", L"&CommonDir",
                              L"contact1->accountno", L"&BrowseRecNo"}) {
    auto first = dde.Request(item);
    auto second = dde.Request(item);
    ASSERT_TRUE(first && second) << Narrow(item);
    EXPECT_EQ(*first, *second) << Narrow(item);
    if (expected.count(item)) {
      EXPECT_EQ(*first, expected[item]) << Narrow(item);
    }
  }
  std::string sysinfo = *dde.Request(L"&SysInfo");
  std::string exe = "GoldMine EXE = " + Narrow(GoldMineBin()) + "gmw.exe";
  EXPECT_NE(sysinfo.find(exe), std::string::npos) << sysinfo;
  EXPECT_FALSE(dde.Request(L"[GetLoginCredentials]")->empty());
  EXPECT_FALSE(dde.Request(L"&NoSuchItem"));
  EXPECT_EQ(dde.Request(L"&GoldDir"), gold);  // a refusal does not shift later replies
}

TEST(Dde, ControlCommandsMoveTheCurrentRecord) {
  REQUIRE_SIM();
  DdeClient dde;
  HWND sim = g_sim->process.window;
  EXPECT_EQ(SendSimCommand(sim, "select-additional ADD1AAAAAAAAAAA"), 1);
  EXPECT_EQ(dde.Request(L"contact1->accountno"), "ACC1");
  EXPECT_EQ(dde.Request(L"&BrowseRecNo"), "ADD1AAAAAAAAAAA");
  EXPECT_EQ(SendSimCommand(sim, "select O'B ACC"), 1);
  EXPECT_EQ(dde.Request(L"contact1->accountno"), "O'B ACC");
  EXPECT_EQ(dde.Request(L"&BrowseRecNo"), "REC'2AAAAAAAAAA");
  EXPECT_EQ(SendSimCommand(sim, "select NOSUCH"), 0);
  EXPECT_EQ(SendSimCommand(sim, "select-additional REC1AAAAAAAAAAA"), 0);
  EXPECT_EQ(SendSimCommand(sim, "jump"), 0);
  EXPECT_EQ(dde.Request(L"contact1->accountno"), "O'B ACC");
  EXPECT_EQ(SendSimCommand(sim, "select ACC1"), 1);
}

TEST(Dde, StopRefusesAtOnceUntilResume) {
  REQUIRE_SIM();
  DdeClient dde;
  HWND sim = g_sim->process.window;
  ASSERT_EQ(SendSimCommand(sim, "stop"), 1);
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(dde.Request(L"&SysInfo"));
  EXPECT_FALSE(dde.Request(L"contact1->accountno"));
  EXPECT_LT(GetTickCount64() - start, 5000u);
  DdeClient late;
  EXPECT_FALSE(late.Connected());
  ASSERT_EQ(SendSimCommand(sim, "resume"), 1);
  EXPECT_EQ(dde.Request(L"contact1->accountno"), "ACC1");
}

// gm7s32.dll loaded by path, its entry points found by name.
class Api : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_ = LoadLibraryW((GoldMineBin() + L"gm7s32.dll").c_str()); }
  template <typename F>
  static F Fn(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
  }
  static int Login(const std::string& gold, const std::string& common,
                   const std::string& password) {
    auto load = Fn<int(WINAPI*)(const char*, const char*, const char*, const char*, const char*)>(
        "GMW_LoadAPI");
    return load(Narrow(GoldMineBin()).c_str(), gold.c_str(), common.c_str(),
                "*SHARED_SIGNON_TICKETS*", password.c_str());
  }
  // Batches of a query, read the way Pelmora reads them.
  static std::vector<std::string> Query(const std::string& sql) {
    auto query =
        Fn<int(WINAPI*)(const char*, const char*, const char*, const char*)>("GMW_DS_Query");
    auto fetch = Fn<int(WINAPI*)(int, char*, int, int)>("GMW_DS_Fetch");
    auto close = Fn<int(WINAPI*)(int)>("GMW_DS_Close");
    std::vector<std::string> batches;
    int q = query(sql.c_str(), "", "\x01", "\x02");
    for (int guard = 0; q > 0 && guard < 50; ++guard) {
      int size = fetch(q, nullptr, 0, 100);
      if (size <= 0) break;
      std::vector<char> buffer(size + 8, '#');
      if (fetch(q, buffer.data(), size - 1, 0) != 0) ADD_FAILURE() << "filled a short buffer";
      EXPECT_EQ(buffer[0], '#');
      if (fetch(q, buffer.data(), size, 0) <= 0) break;
      EXPECT_EQ(buffer[size - 1], '\0');
      EXPECT_EQ(buffer[size], '#');
      batches.emplace_back(buffer.data());
      if (batches.back()[0] != '0') break;
    }
    close(q);
    return batches;
  }
  static std::vector<std::string> Events() { return ReadSimEvents(g_sim->data); }

  static HMODULE library_;
};
HMODULE Api::library_ = nullptr;

TEST_F(Api, ExportsEveryEntryPointAndChecksTheLogIn) {
  REQUIRE_SIM();
  ASSERT_NE(library_, nullptr);
  for (const char* name : {"GMW_LoadAPI",
                           "GMW_UnloadAPI",
                           "GMW_Execute",
                           "GMW_NV_Create",
                           "GMW_NV_Delete",
                           "GMW_NV_SetValue",
                           "GMW_NV_GetValue",
                           "GMW_NV_EraseAll",
                           "GMW_NV_Count",
                           "GMW_NV_GetNameFromIndex",
                           "GMW_NV_GetValueFromIndex",
                           "GMW_DS_Range",
                           "GMW_DS_Query",
                           "GMW_DS_Fetch",
                           "GMW_DS_Close",
                           "GMW_DB_Open",
                           "GMW_DB_Close",
                           "GMW_DB_Delete",
                           "GMW_DB_QuickSeek",
                           "GMW_DB_Top",
                           "GMW_DB_SetOrder",
                           "GMW_DB_Seek",
                           "GMW_DB_RecNo",
                           "GMW_DB_Replace"}) {
    EXPECT_NE(GetProcAddress(library_, name), nullptr) << name;
  }
  DdeClient dde;
  std::string ticket = dde.Request(L"[GetLoginCredentials]").value_or("");
  std::string gold = *dde.Request(L"&GoldDir");
  std::string common = *dde.Request(L"&CommonDir");
  SetEnvironmentVariableW(L"GM_SIM_LOGIN_CODE", L"-7");
  EXPECT_EQ(Login(gold, common, ticket), -7);
  SetEnvironmentVariableW(L"GM_SIM_LOGIN_CODE", nullptr);
  EXPECT_EQ(Login(gold + "nowhere\\", common, ticket), -5);
  EXPECT_EQ(Login(gold, gold + "nowhere\\", ticket), -6);
  EXPECT_EQ(Login(gold, common, ticket + "x"), -8);
  EXPECT_EQ(Login(gold, common, ticket), 1);
  EXPECT_EQ(Login(gold, common, ticket), 0);
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"login -7", "login -6", "login -8", "login 1", "login 0"}));
}

TEST_F(Api, QueriesComeInBatchesInTheAnsiCodePage) {
  REQUIRE_SIM();
  auto batches = Query(
      "select contact1.accountno, contact1.recid, contact1.contact, contsupp.country, "
      "contsupp.title, coalesce(contsupp.address1+contsupp.address2, contsupp.address1) as "
      "website, contsupp.recid as drecid from contact1 left outer join contsupp on "
      "contact1.recid=contsupp.linkacct and rectype='p' and contsupp.contact='web site' where "
      "contact1.accountno='ACC1' order by country, title");
  ASSERT_EQ(batches.size(), 2u);  // four rows, three to a batch
  EXPECT_EQ(batches[0].substr(0, 2), "0\x01");
  EXPECT_EQ(batches[1].substr(0, 2), "1\x01");
  EXPECT_NE(batches[0].find("http://a.example\x01W1\x01\x02"), std::string::npos);
  EXPECT_NE(batches[0].find("http://l.examplex\x01W2\x01\x02"), std::string::npos);
  auto name = Query("select contact from contact1 where accountno='O''B ACC'");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(name[0], "1\x01" + Narrow(L"Zo\u00eb O'Brien") + "\x01\x02");
  EXPECT_TRUE(Query("select nonsense from").empty());
}

TEST_F(Api, WriteDetailThenDeleteThroughTheTable) {
  REQUIRE_SIM();
  auto create = Fn<int(WINAPI*)()>("GMW_NV_Create");
  auto erase = Fn<int(WINAPI*)(int)>("GMW_NV_EraseAll");
  auto set = Fn<int(WINAPI*)(int, const char*, const char*)>("GMW_NV_SetValue");
  auto execute = Fn<int(WINAPI*)(const char*, int)>("GMW_Execute");
  int c = create();
  ASSERT_GT(c, 0);
  std::string desc = Narrow(L"Caf\u00e9 ");
  for (auto [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"recid", ""},
           {"detail", "Web Site"},
           {"ref", "http://new.example"},
           {"accountno", "ACC1"},
           {"ufield1", desc},
           {"ufield2", "REC1AAAAAAAAAAA"},
           {"ufield3", "Company"},
           {"ufield10", "http://new.example"},
           {"ufield11", ""},
           {"notes", "~~REF=http://new.example\n~~NOTES=x"}}) {
    EXPECT_EQ(set(c, name.c_str(), value.c_str()), 1);
  }
  EXPECT_EQ(execute("WriteDetail", c), 1);
  auto found = Query("select recid from contsupp where title='" + desc + "'");
  ASSERT_EQ(found.size(), 1u);
  std::string recid = found[0].substr(2, found[0].find('\x01', 2) - 2);
  EXPECT_EQ(recid.size(), 15u);
  set(c, "recid", "NOSUCHRECORD");
  EXPECT_EQ(execute("WriteDetail", c), 0);
  erase(c);
  EXPECT_EQ(execute("NoSuchFunction", c), 0);

  auto open = Fn<int(WINAPI*)(const char*)>("GMW_DB_Open");
  auto order = Fn<int(WINAPI*)(int, const char*)>("GMW_DB_SetOrder");
  auto top = Fn<int(WINAPI*)(int)>("GMW_DB_Top");
  auto seek = Fn<int(WINAPI*)(int, const char*)>("GMW_DB_Seek");
  auto del = Fn<int(WINAPI*)(int)>("GMW_DB_Delete");
  auto close = Fn<int(WINAPI*)(int)>("GMW_DB_Close");
  int t = open("contsupp");
  ASSERT_GT(t, 0);
  order(t, "cnsrecid");
  top(t);
  EXPECT_EQ(seek(t, "NOSUCHRECORD"), 0);
  ASSERT_EQ(seek(t, recid.c_str()), 1);
  EXPECT_EQ(del(t), 1);
  close(t);
  EXPECT_EQ(Query("select recid from contsupp where title='" + desc + "'"),
            std::vector<std::string>{"1\x01"});
  auto unload = Fn<int(WINAPI*)()>("GMW_UnloadAPI");
  EXPECT_EQ(unload(), 1);
  auto events = Events();
  ASSERT_GE(events.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(events.end() - 5, events.end()),
            (std::vector<std::string>{"execute WriteDetail 1", "execute WriteDetail 0",
                                      "execute NoSuchFunction 0", "delete " + recid, "logout"}));
}

}  // namespace
}  // namespace pelmora::sim

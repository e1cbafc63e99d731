#include "goldmine/win/goldmine_api.h"

#include "goldmine/login_messages.h"
#include "goldmine/sysinfo.h"
#include "goldmine/win/guarded_call.h"
#include "goldmine/win/message_box.h"

namespace pelmora {

namespace {

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

GoldMineConnection::~GoldMineConnection() = default;

void GoldMineConnection::OpenConversation() { dde_.Open("GoldMine", "Data"); }

std::string GoldMineConnection::DdeRequest(const std::string& item) { return dde_.Request(item); }

int GoldMineConnection::LoadGoldMineApi() {
  const std::string sysInfo = DdeRequest("&SysInfo");
  if (sysInfo.empty()) {
    ShowMessage(std::string("Please make sure that GoldMine is running"));
    return -1;
  }
  const std::string programDir = ProgramDirFromSysInfo(sysInfo);
  const std::string libraryPath = programDir + "gm7s32.dll";
  if (!FileExists(libraryPath)) {
    ShowMessage("gm7s32.dll not found in " + programDir);
    return -1;
  }

  int result = -1;
  apiModule_ = LoadLibraryA(libraryPath.c_str());
  if (apiModule_) {
    using LoadApiFn = int(WINAPI*)(const char*, const char*, const char*, const char*, const char*);
    LoadApiFn loadApi = nullptr;
    Bind(apiModule_, "GMW_LoadAPI", loadApi);
    const std::string credentials = DdeRequest("[GetLoginCredentials]");
    const std::string commonDir = DdeRequest("&CommonDir");
    const std::string goldDir = DdeRequest("&GoldDir");
    if (loadApi)
      result = loadApi(programDir.c_str(), goldDir.c_str(), commonDir.c_str(),
                       "*SHARED_SIGNON_TICKETS*", credentials.c_str());
  }

  if (result >= 1) {
    BindEntryPoints();
    // A library that raises here is as unusable as one that answers 0.
    defaultContainer_ = api_.NV_Create ? CallGuardedInt([this] { return api_.NV_Create(); }, 0) : 0;
    if (defaultContainer_ == 0) {
      ShowMessage(std::string("Could not create default NV container"));
      // The log-in succeeded: end GoldMine's session before the program
      // ends, or it keeps a user seat.
      if (api_.UnloadAPI) CallGuardedInt([this] { return api_.UnloadAPI(); }, 0);
      api_ = GoldMineEntryPoints{};
      FreeLibrary(apiModule_);
      apiModule_ = nullptr;
      return -1;
    }
    ready_ = true;
    return result;
  }
  ShowMessage(LoginFailureMessage(result));
  return result;
}

void GoldMineConnection::BindEntryPoints() {
  Bind(apiModule_, "GMW_UnloadAPI", api_.UnloadAPI);
  Bind(apiModule_, "GMW_Execute", api_.Execute);
  Bind(apiModule_, "GMW_NV_Create", api_.NV_Create);
  Bind(apiModule_, "GMW_NV_Delete", api_.NV_Delete);
  Bind(apiModule_, "GMW_NV_SetValue", api_.NV_SetValue);
  Bind(apiModule_, "GMW_NV_GetValue", api_.NV_GetValue);
  Bind(apiModule_, "GMW_NV_EraseAll", api_.NV_EraseAll);
  Bind(apiModule_, "GMW_NV_Count", api_.NV_Count);
  Bind(apiModule_, "GMW_NV_GetNameFromIndex", api_.NV_GetNameFromIndex);
  Bind(apiModule_, "GMW_NV_GetValueFromIndex", api_.NV_GetValueFromIndex);
  Bind(apiModule_, "GMW_DS_Range", api_.DS_Range);
  Bind(apiModule_, "GMW_DS_Query", api_.DS_Query);
  Bind(apiModule_, "GMW_DS_Fetch", api_.DS_Fetch);
  Bind(apiModule_, "GMW_DS_Close", api_.DS_Close);
  Bind(apiModule_, "GMW_DB_Open", api_.DB_Open);
  Bind(apiModule_, "GMW_DB_Close", api_.DB_Close);
  Bind(apiModule_, "GMW_DB_Delete", api_.DB_Delete);
  Bind(apiModule_, "GMW_DB_QuickSeek", api_.DB_QuickSeek);
  Bind(apiModule_, "GMW_DB_Top", api_.DB_Top);
  Bind(apiModule_, "GMW_DB_SetOrder", api_.DB_SetOrder);
  Bind(apiModule_, "GMW_DB_Seek", api_.DB_Seek);
  Bind(apiModule_, "GMW_DB_RecNo", api_.DB_RecNo);
  Bind(apiModule_, "GMW_DB_Replace", api_.DB_Replace);
}

void GoldMineConnection::UnloadGoldMineApi() {
  if (!ready_) return;
  ready_ = false;
  if (api_.NV_Delete) api_.NV_Delete(defaultContainer_);
  defaultContainer_ = 0;
  if (api_.UnloadAPI) api_.UnloadAPI();
  api_ = GoldMineEntryPoints{};
  FreeLibrary(apiModule_);
  apiModule_ = nullptr;
}

bool GoldMineConnection::RunBusinessFunction(const std::string& name, int container) {
  const int result = api_.Execute ? api_.Execute(name.c_str(), container) : 0;
  if (result > 0) return true;
  ShowMessage("003: " + name + " Failed.");
  return false;
}

bool GoldMineConnection::RunWithPairs(const std::string& name, const NameValuePairs& pairs) {
  if (!ready_ || !api_.NV_EraseAll || !api_.NV_SetValue) {
    ShowMessage("003: " + name + " Failed.");
    return false;
  }
  api_.NV_EraseAll(defaultContainer_);
  for (const auto& [key, value] : pairs)
    api_.NV_SetValue(defaultContainer_, key.c_str(), value.c_str());
  return RunBusinessFunction(name, defaultContainer_);
}

bool GoldMineConnection::DeleteDetail(const std::string& recId) {
  if (!ready_ || !api_.DB_Open || !api_.DB_SetOrder || !api_.DB_Top || !api_.DB_Seek ||
      !api_.DB_Delete || !api_.DB_Close)
    return false;
  const int table = api_.DB_Open("contsupp");
  api_.DB_SetOrder(table, "cnsrecid");
  api_.DB_Top(table);
  const bool found = api_.DB_Seek(table, recId.c_str()) == 1;
  if (found) api_.DB_Delete(table);
  api_.DB_Close(table);
  return found;
}

int GoldMineConnection::Query(const std::string& sql, char fieldDelimiter, char recordDelimiter) {
  if (!ready_ || !api_.DS_Query) return 0;
  const char fd[2] = {fieldDelimiter, '\0'};
  const char rd[2] = {recordDelimiter, '\0'};
  return api_.DS_Query(sql.c_str(), "", fd, rd);
}

int GoldMineConnection::FetchSize(int handle) {
  return api_.DS_Fetch ? api_.DS_Fetch(handle, nullptr, 0, 100) : 0;
}

int GoldMineConnection::Fetch(int handle, char* buffer, int size) {
  return api_.DS_Fetch ? api_.DS_Fetch(handle, buffer, size, 0) : 0;
}

void GoldMineConnection::Close(int handle) {
  if (api_.DS_Close) api_.DS_Close(handle);
}

void GoldMineConnection::QueryValue(const std::string& sql, std::string& value) {
  pelmora::QueryValue(*this, sql, value);
}

std::shared_ptr<MemTable> GoldMineConnection::QueryTable(
    const std::string& sql, const std::vector<std::string>& columnNames) {
  return pelmora::QueryTable(*this, sql, columnNames);
}

}  // namespace pelmora

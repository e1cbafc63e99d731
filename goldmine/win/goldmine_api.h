// The program's layer over GoldMine's API library gm7s32.dll: loading and
// log-in, business functions, queries, table operations and unloading.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "goldmine/mem_table.h"
#include "goldmine/name_values.h"
#include "goldmine/query.h"
#include "goldmine/win/dde_client.h"

namespace pelmora {

// Entry points, bound by name after a successful log-in. A null entry was
// not exported and is never called.
struct GoldMineEntryPoints {
  using Fn0 = int(WINAPI*)();
  using FnI = int(WINAPI*)(int);
  using FnS = int(WINAPI*)(const char*);
  using FnIS = int(WINAPI*)(int, const char*);
  using FnISS = int(WINAPI*)(int, const char*, const char*);
  using FnSI = int(WINAPI*)(const char*, int);
  using FnQuery = int(WINAPI*)(const char*, const char*, const char*, const char*);
  using FnFetch = int(WINAPI*)(int, char*, int, int);
  using FnNvGet = int(WINAPI*)(int, const char*, char*, int);
  using FnNvIndex = int(WINAPI*)(int, int, char*, int);
  using FnRange = int(WINAPI*)(int, const char*, const char*, const char*);

  Fn0 UnloadAPI = nullptr;
  FnSI Execute = nullptr;
  Fn0 NV_Create = nullptr;
  FnI NV_Delete = nullptr;
  FnISS NV_SetValue = nullptr;
  FnNvGet NV_GetValue = nullptr;
  FnI NV_EraseAll = nullptr;
  FnI NV_Count = nullptr;
  FnNvIndex NV_GetNameFromIndex = nullptr;
  FnNvIndex NV_GetValueFromIndex = nullptr;
  FnRange DS_Range = nullptr;
  FnQuery DS_Query = nullptr;
  FnFetch DS_Fetch = nullptr;
  FnI DS_Close = nullptr;
  FnS DB_Open = nullptr;
  FnI DB_Close = nullptr;
  FnI DB_Delete = nullptr;
  FnIS DB_QuickSeek = nullptr;
  FnI DB_Top = nullptr;
  FnIS DB_SetOrder = nullptr;
  FnIS DB_Seek = nullptr;
  FnI DB_RecNo = nullptr;
  FnIS DB_Replace = nullptr;
};

class GoldMineConnection : public IQuerySource {
 public:
  GoldMineConnection() = default;
  ~GoldMineConnection() override;
  GoldMineConnection(const GoldMineConnection&) = delete;
  GoldMineConnection& operator=(const GoldMineConnection&) = delete;

  // Opened while the main window is created, never reopened.
  void OpenConversation();
  std::string DdeRequest(const std::string& item);

  // >= 1 ready; <= 0 failed, the user has been told why.
  int LoadGoldMineApi();
  void UnloadGoldMineApi();
  bool IsReady() const { return ready_; }

  bool RunBusinessFunction(const std::string& name, int container);
  // Empties DefaultContainer, fills it with the pairs in order and runs the
  // function; false (and the failure shown) when it did not succeed.
  bool RunWithPairs(const std::string& name, const NameValuePairs& pairs);

  // Deletes the contsupp record with this id; true when it was found.
  bool DeleteDetail(const std::string& recId);

  // IQuerySource, through the bound entry points.
  int Query(const std::string& sql, char fieldDelimiter, char recordDelimiter) override;
  int FetchSize(int handle) override;
  int Fetch(int handle, char* buffer, int size) override;
  void Close(int handle) override;

  void QueryValue(const std::string& sql, std::string& value);
  std::shared_ptr<MemTable> QueryTable(const std::string& sql,
                                       const std::vector<std::string>& columnNames);

 private:
  void BindEntryPoints();

  DdeConversation dde_;
  HMODULE apiModule_ = nullptr;
  GoldMineEntryPoints api_;
  int defaultContainer_ = 0;
  bool ready_ = false;
};

}  // namespace pelmora

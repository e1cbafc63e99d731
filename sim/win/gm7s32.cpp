// gm7s32.dll: GoldMine's API entry points over the stand-in's state.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

#include "sim/win/ansi.h"
#include "sim/core/api.h"

using pelmora::sim::AnsiToUtf8;
using pelmora::sim::SimApi;
using pelmora::sim::Utf8ToAnsi;

namespace {

std::optional<std::string> Environment(const std::string& name) {
  std::wstring wide(name.begin(), name.end());
  wchar_t value[64];
  DWORD n = GetEnvironmentVariableW(wide.c_str(), value, 64);
  if (n == 0 || n >= 64) return std::nullopt;
  return pelmora::sim::WideToUtf8(std::wstring_view(value, n));
}

// The library's one API state, as GoldMine's library has one session per
// process; callers may come from any thread.
struct Library {
  std::mutex lock;
  SimApi api{Environment, [](std::string_view utf8) { return Utf8ToAnsi(utf8); },
             static_cast<std::uint64_t>(GetTickCount()) ^ GetCurrentProcessId()};
};

Library& Lib() {
  static Library library;
  return library;
}

// Copies text (with its terminator) when it fits; returns the size needed.
int CopyOut(const std::string& text, char* buffer, int size) {
  int needed = static_cast<int>(text.size()) + 1;
  if (buffer != nullptr && size >= needed) std::memcpy(buffer, text.c_str(), needed);
  return needed;
}

std::string U(const char* ansi) { return AnsiToUtf8(ansi); }

// A test that signals this event gets one access violation from the next
// query, as a faulty library would give it: before any lock is taken.
void FaultWhenAsked() {
  HANDLE asked = OpenEventW(SYNCHRONIZE, FALSE, L"GoldMineSimFaultOnce");
  if (!asked) return;
  const bool now = WaitForSingleObject(asked, 0) == WAIT_OBJECT_0;  // an auto-reset event
  CloseHandle(asked);
  static volatile int* nowhere = nullptr;
  if (now) *nowhere = 1;
}

}  // namespace

#define GM_API extern "C" int WINAPI

GM_API GMW_LoadAPI(const char* program_dir, const char* gold_dir, const char* common_dir,
                   const char* user, const char* password) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.LoadApi(U(program_dir), U(gold_dir), U(common_dir), U(user), U(password));
}

GM_API GMW_UnloadAPI() {
  std::lock_guard guard(Lib().lock);
  return Lib().api.UnloadApi();
}

GM_API GMW_Execute(const char* function, int container) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.Execute(U(function), container);
}

// GM_SIM_NV_CREATE=fail answers 0; =raise ends in an exception the library
// does not handle, before any lock is taken.
GM_API GMW_NV_Create() {
  const auto mode = Environment("GM_SIM_NV_CREATE");
  if (mode == "fail") return 0;
  if (mode == "raise") RaiseException(0xE0474D01, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  std::lock_guard guard(Lib().lock);
  return Lib().api.NvCreate();
}

GM_API GMW_NV_Delete(int container) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.NvDelete(container);
}

GM_API GMW_NV_SetValue(int container, const char* name, const char* value) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.NvSetValue(container, U(name), U(value));
}

// Returns the buffer size the value needs (0: no such pair) and copies it
// when the buffer is large enough.
GM_API GMW_NV_GetValue(int container, const char* name, char* buffer, int size) {
  std::lock_guard guard(Lib().lock);
  auto* values = Lib().api.Container(container);
  auto value = values ? values->Get(U(name)) : std::nullopt;
  return value ? CopyOut(Utf8ToAnsi(*value), buffer, size) : 0;
}

GM_API GMW_NV_EraseAll(int container) {
  std::lock_guard guard(Lib().lock);
  auto* values = Lib().api.Container(container);
  if (values == nullptr) return 0;
  values->EraseAll();
  return 1;
}

GM_API GMW_NV_Count(int container) {
  std::lock_guard guard(Lib().lock);
  auto* values = Lib().api.Container(container);
  return values ? static_cast<int>(values->Count()) : 0;
}

GM_API GMW_NV_GetNameFromIndex(int container, int index, char* buffer, int size) {
  std::lock_guard guard(Lib().lock);
  auto* values = Lib().api.Container(container);
  auto* pair = values && index >= 0 ? values->At(index) : nullptr;
  return pair ? CopyOut(Utf8ToAnsi(pair->first), buffer, size) : 0;
}

GM_API GMW_NV_GetValueFromIndex(int container, int index, char* buffer, int size) {
  std::lock_guard guard(Lib().lock);
  auto* values = Lib().api.Container(container);
  auto* pair = values && index >= 0 ? values->At(index) : nullptr;
  return pair ? CopyOut(Utf8ToAnsi(pair->second), buffer, size) : 0;
}

// Rows of an opened, ordered table between two keys, as a query handle.
GM_API GMW_DS_Range(int table, const char* low, const char* high, const char* fields) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.DsRange(table, U(low), U(high), U(fields), "\x01", "\x02");
}

GM_API GMW_DS_Query(const char* sql, const char* /*filter*/, const char* field_delimiter,
                    const char* record_delimiter) {
  FaultWhenAsked();
  std::lock_guard guard(Lib().lock);
  return Lib().api.DsQuery(U(sql), field_delimiter ? field_delimiter : "",
                           record_delimiter ? record_delimiter : "");
}

// Without a buffer (or with mode 100): the size the next batch needs.
// Otherwise fills the buffer with the next batch; 0 if it does not fit.
GM_API GMW_DS_Fetch(int query, char* buffer, int size, int mode) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Query(query);
  if (cursor == nullptr) return 0;
  if (buffer == nullptr || mode == 100) return static_cast<int>(cursor->NextSize());
  if (size <= 0) return 0;
  return static_cast<int>(cursor->Fill(buffer, static_cast<size_t>(size)));
}

GM_API GMW_DS_Close(int query) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.DsClose(query);
}

GM_API GMW_DB_Open(const char* table) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.DbOpen(U(table));
}

GM_API GMW_DB_Close(int table) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.DbClose(table);
}

GM_API GMW_DB_Delete(int table) {
  std::lock_guard guard(Lib().lock);
  return Lib().api.DbDelete(table);
}

// Record number of the first record whose key begins with key; 0 if none.
GM_API GMW_DB_QuickSeek(int table, const char* key) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  return cursor ? static_cast<int>(cursor->QuickSeek(U(key))) : 0;
}

GM_API GMW_DB_Top(int table) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  return cursor && cursor->Top() ? 1 : 0;
}

GM_API GMW_DB_SetOrder(int table, const char* tag) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  return cursor && cursor->SetOrder(U(tag)) ? 1 : 0;
}

GM_API GMW_DB_Seek(int table, const char* key) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  return cursor && cursor->Seek(U(key)) ? 1 : 0;
}

GM_API GMW_DB_RecNo(int table) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  return cursor ? static_cast<int>(cursor->RecNo()) : 0;
}

// assignment is "field=value"; sets that field of the current record.
GM_API GMW_DB_Replace(int table, const char* assignment) {
  std::lock_guard guard(Lib().lock);
  auto* cursor = Lib().api.Table(table);
  std::string text = U(assignment);
  size_t equals = text.find('=');
  if (cursor == nullptr || equals == std::string::npos) return 0;
  return cursor->Replace(text.substr(0, equals), text.substr(equals + 1), false) ? 1 : 0;
}

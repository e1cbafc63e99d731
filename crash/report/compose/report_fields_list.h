#pragma once
// An ordered list of (name, contents) pairs: the bug report's header (one
// entry per field) or its sections (one per section). Names match without
// regard to case; contents are trimmed, and empty contents mean no entry.
// Names not yet present go to the insertion index (at the end below 1).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

class TReportFields {
 public:
  using Changed = std::function<void()>;

  void LockFields();
  void UnlockFields();
  std::int32_t FieldCount() const;
  std::u16string FieldName(std::int32_t index) const;
  void RenameField(std::int32_t index, const std::u16string& name);
  std::int32_t IndexOfField(const std::u16string& name) const;
  std::u16string FieldContents(const std::u16string& name) const;
  void SetField(const std::u16string& name, const std::u16string& contents);
  void AddField(const std::u16string& name, const std::u16string& contents) {
    SetField(name, contents);
  }
  void InsertField(std::int32_t index, const std::u16string& name, const std::u16string& contents);
  void DeleteField(std::int32_t index);
  void RemoveField(const std::u16string& name) { DeleteField(IndexOfField(name)); }
  // A new, accepting list with the same entries, without owners.
  TReportFields CopyFields() const;

  void SetInsertIndex(std::int32_t index);
  std::int32_t InsertIndex() const;
  // Until this is called every adding operation is ignored.
  void EnableInput();
  // Told after every change (the owning report, the settings' AddFields).
  void OnChange(Changed changed) { changed_ = std::move(changed); }

  TReportFields() = default;
  TReportFields(const TReportFields& other);
  TReportFields& operator=(const TReportFields&) = delete;

 private:
  std::int32_t Find(const std::u16string& name) const;
  void Notify();

  mutable std::recursive_mutex lock_;
  std::vector<std::pair<std::u16string, std::u16string>> entries_;
  std::int32_t insertIndex_ = 0;
  bool accepting_ = false;
  Changed changed_;
};

// Same length, and every character pair equal, those below 256 compared
// through lower case.
bool SameFieldName(const std::u16string& a, const std::u16string& b);

}  // namespace ostrel

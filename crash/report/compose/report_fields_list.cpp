#include "crash/report/compose/report_fields_list.h"
#include "crash/base/short_text.h"
#include "crash/base/text_case.h"

namespace ostrel {
namespace {

using text::Trim;

}  // namespace

bool SameFieldName(const std::u16string& a, const std::u16string& b) {
  return EqualsNoCaseLatin1(a, b);
}

TReportFields::TReportFields(const TReportFields& other) {
  std::lock_guard guard(other.lock_);
  entries_ = other.entries_;
  insertIndex_ = other.insertIndex_;
  accepting_ = true;
}

void TReportFields::LockFields() { lock_.lock(); }
void TReportFields::UnlockFields() { lock_.unlock(); }

std::int32_t TReportFields::FieldCount() const {
  std::lock_guard guard(lock_);
  return static_cast<std::int32_t>(entries_.size());
}

std::u16string TReportFields::FieldName(std::int32_t index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<std::int32_t>(entries_.size())) return {};
  return entries_[static_cast<std::size_t>(index)].first;
}

void TReportFields::RenameField(std::int32_t index, const std::u16string& name) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<std::int32_t>(entries_.size())) return;
  auto& entry = entries_[static_cast<std::size_t>(index)];
  if (entry.first == name) return;
  entry.first = name;
  Notify();
}

std::int32_t TReportFields::Find(const std::u16string& name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (SameFieldName(entries_[i].first, name)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::int32_t TReportFields::IndexOfField(const std::u16string& name) const {
  std::lock_guard guard(lock_);
  return Find(name);
}

std::u16string TReportFields::FieldContents(const std::u16string& name) const {
  std::lock_guard guard(lock_);
  const std::int32_t at = Find(name);
  return at < 0 ? std::u16string() : entries_[static_cast<std::size_t>(at)].second;
}

void TReportFields::SetField(const std::u16string& name, const std::u16string& contents) {
  std::lock_guard guard(lock_);
  if (!accepting_) return;
  const std::u16string trimmed = Trim(contents);
  if (trimmed.empty()) {
    RemoveField(name);
    return;
  }
  const std::int32_t at = Find(name);
  if (at < 0) {
    InsertField(insertIndex_ < 1 ? static_cast<std::int32_t>(entries_.size()) : insertIndex_, name,
                trimmed);
    return;
  }
  auto& entry = entries_[static_cast<std::size_t>(at)];
  if (entry.second != trimmed || entry.first != name) {
    entry = {name, trimmed};
    Notify();
  }
}

void TReportFields::InsertField(std::int32_t index, const std::u16string& name,
                                const std::u16string& contents) {
  std::lock_guard guard(lock_);
  const std::u16string trimmed = Trim(contents);
  if (trimmed.empty() || !accepting_) return;
  const auto count = static_cast<std::int32_t>(entries_.size());
  index = index < 0 ? 0 : index > count ? count : index;
  const std::int32_t present = Find(name);
  if (present >= 0) {
    if (present == index && entries_[static_cast<std::size_t>(present)].second == trimmed) return;
    // Taken out directly: the insertion index moves once, below.
    entries_.erase(entries_.begin() + present);
    if (insertIndex_ >= 1 && present < insertIndex_) --insertIndex_;
    if (index > present) --index;
  }
  entries_.insert(entries_.begin() + index, {name, trimmed});
  if (insertIndex_ >= 1 && insertIndex_ >= index) ++insertIndex_;
  Notify();
}

void TReportFields::DeleteField(std::int32_t index) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<std::int32_t>(entries_.size())) return;
  entries_.erase(entries_.begin() + index);
  if (insertIndex_ >= 1 && index < insertIndex_) --insertIndex_;
  Notify();
}

TReportFields TReportFields::CopyFields() const { return TReportFields(*this); }

void TReportFields::SetInsertIndex(std::int32_t index) {
  std::lock_guard guard(lock_);
  insertIndex_ = index;
}

std::int32_t TReportFields::InsertIndex() const {
  std::lock_guard guard(lock_);
  return insertIndex_;
}

void TReportFields::EnableInput() {
  std::lock_guard guard(lock_);
  accepting_ = true;
}

void TReportFields::Notify() {
  if (changed_) changed_();
}

}  // namespace ostrel

#pragma once
// IReportFields over a report's list (its references are the report's) or
// over a list of its own (a copy, counted by itself).
#include <memory>

#include "crash/base/ref_counted.h"
#include "crash/report/compose/report_fields_list.h"
#include "ostrel/ostrel.h"

namespace ostrel {

class TReportFieldsObject final : public IReportFields {
 public:
  // A report's list: changes bracket the report's update counter.
  TReportFieldsObject(TReportFields& fields, IExceptionReport& owner);
  // A list of its own, released with the last reference.
  static TReportFieldsObject* Standalone(const TReportFields& copyOf);

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override;
  std::uint32_t OSTREL_CALL Release() override;
  void OSTREL_CALL LockFields() override;
  void OSTREL_CALL UnlockFields() override;
  std::int32_t OSTREL_CALL FieldCount() override { return fields_.FieldCount(); }
  void OSTREL_CALL FieldName(std::int32_t index, std::u16string& out) override {
    out = fields_.FieldName(index);
  }
  void OSTREL_CALL RenameField(std::int32_t index, const std::u16string& name) override;
  std::int32_t OSTREL_CALL IndexOfField(const std::u16string& name) override {
    return fields_.IndexOfField(name);
  }
  void OSTREL_CALL FieldContents(const std::u16string& name, std::u16string& out) override {
    out = fields_.FieldContents(name);
  }
  void OSTREL_CALL SetField(const std::u16string& name, const std::u16string& contents) override;
  void OSTREL_CALL AddField(const std::u16string& name, const std::u16string& contents) override {
    SetField(name, contents);
  }
  void OSTREL_CALL InsertField(std::int32_t index, const std::u16string& name,
                               const std::u16string& contents) override;
  void OSTREL_CALL DeleteField(std::int32_t index) override;
  void OSTREL_CALL RemoveField(const std::u16string& name) override;
  IReportFields* OSTREL_CALL CopyFields() override;

 private:
  explicit TReportFieldsObject(std::unique_ptr<TReportFields> own);
  template <class F>
  void Change(F&& change);

  std::unique_ptr<TReportFields> own_;
  TReportFields& fields_;
  IExceptionReport* owner_ = nullptr;
  RefCount refs_;
};

}  // namespace ostrel

#include "crash/handling/exception_report/fields_interface.h"

namespace ostrel {

TReportFieldsObject::TReportFieldsObject(TReportFields& fields, IExceptionReport& owner)
    : fields_(fields), owner_(&owner) {}

TReportFieldsObject::TReportFieldsObject(std::unique_ptr<TReportFields> own)
    : own_(std::move(own)), fields_(*own_) {}

TReportFieldsObject* TReportFieldsObject::Standalone(const TReportFields& copyOf) {
  auto* object = new TReportFieldsObject(std::make_unique<TReportFields>(copyOf.CopyFields()));
  object->AddRef();
  return object;
}

HResult TReportFieldsObject::QueryInterface(const Guid& iid, void** out) {
  if (!out) return kPointer;
  if (!SameGuid(iid, kIidUnknown) && !SameGuid(iid, kIidReportFields)) {
    *out = nullptr;
    return kNoInterface;
  }
  *out = static_cast<IReportFields*>(this);
  AddRef();
  return kOk;
}

std::uint32_t TReportFieldsObject::AddRef() {
  return owner_ ? owner_->AddRef() : refs_.Increment();
}

std::uint32_t TReportFieldsObject::Release() {
  if (owner_) return owner_->Release();
  const std::uint32_t left = refs_.Decrement();
  if (left == 0) delete this;
  return left;
}

void TReportFieldsObject::LockFields() {
  if (owner_) owner_->EnterUpdate();
  fields_.LockFields();
}

void TReportFieldsObject::UnlockFields() {
  fields_.UnlockFields();
  if (owner_) owner_->LeaveUpdate();
}

template <class F>
void TReportFieldsObject::Change(F&& change) {
  LockFields();
  try {
    change();
  } catch (...) {
    UnlockFields();
    throw;
  }
  UnlockFields();
}

void TReportFieldsObject::RenameField(std::int32_t index, const std::u16string& name) {
  Change([&] { fields_.RenameField(index, name); });
}

void TReportFieldsObject::SetField(const std::u16string& name, const std::u16string& contents) {
  Change([&] { fields_.SetField(name, contents); });
}

void TReportFieldsObject::InsertField(std::int32_t index, const std::u16string& name,
                                      const std::u16string& contents) {
  Change([&] { fields_.InsertField(index, name, contents); });
}

void TReportFieldsObject::DeleteField(std::int32_t index) {
  Change([&] { fields_.DeleteField(index); });
}

void TReportFieldsObject::RemoveField(const std::u16string& name) {
  Change([&] { fields_.RemoveField(name); });
}

IReportFields* TReportFieldsObject::CopyFields() { return Standalone(fields_); }

}  // namespace ostrel

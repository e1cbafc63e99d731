#pragma once
// Intrusive holder for reference-counted interfaces.

#include <utility>

#include "ostrel/unknown.h"

namespace ostrel {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }

  // Adopts a reference the caller already owns (e.g. from QueryInterface).
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  template <class U>
  ComPtr<U> As(const Guid& iid) const {
    void* out = nullptr;
    if (p_ && p_->QueryInterface(iid, &out) == kOk) return ComPtr<U>::Adopt(static_cast<U*>(out));
    return {};
  }

  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  bool operator==(const ComPtr& o) const { return p_ == o.p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace ostrel

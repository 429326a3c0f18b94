#include "base/win/scoped_bstr.h"

#include <utility>

#include "base/logging.h"

namespace base::win {

ScopedBstr::ScopedBstr(std::wstring_view text) {
  Allocate(text);
}

ScopedBstr::ScopedBstr(ScopedBstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}

ScopedBstr& ScopedBstr::operator=(ScopedBstr&& other) noexcept {
  if (this != &other)
    Reset(std::exchange(other.bstr_, nullptr));
  return *this;
}

ScopedBstr::~ScopedBstr() {
  Reset();
}

void ScopedBstr::Reset(BSTR bstr) {
  if (bstr == bstr_)
    return;
  if (bstr_)
    ::SysFreeString(bstr_);
  bstr_ = bstr;
}

BSTR ScopedBstr::Release() {
  return std::exchange(bstr_, nullptr);
}

BSTR ScopedBstr::Allocate(std::wstring_view text) {
  Reset(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  return bstr_;
}

BSTR ScopedBstr::AllocateBytes(size_t bytes) {
  Reset(::SysAllocStringByteLen(nullptr, static_cast<UINT>(bytes)));
  return bstr_;
}

BSTR* ScopedBstr::Receive() {
  DCHECK(!bstr_) << "ScopedBstr::Receive on a held string";
  Reset();
  return &bstr_;
}

void ScopedBstr::Swap(ScopedBstr& other) {
  std::swap(bstr_, other.bstr_);
}

size_t ScopedBstr::Length() const {
  return ::SysStringLen(bstr_);
}

size_t ScopedBstr::ByteLength() const {
  return ::SysStringByteLen(bstr_);
}

}  // namespace base::win

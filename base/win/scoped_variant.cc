#include "base/win/scoped_variant.h"

#include <utility>

#include "base/logging.h"

namespace base::win {

ScopedVariant::ScopedVariant() {
  ::VariantInit(&var_);
}

ScopedVariant::ScopedVariant(std::wstring_view text) : ScopedVariant() {
  Set(text);
}

ScopedVariant::ScopedVariant(const wchar_t* text) : ScopedVariant() {
  Set(text);
}

ScopedVariant::ScopedVariant(int32_t value, VARTYPE vt) : ScopedVariant() {
  var_.vt = vt;
  var_.lVal = value;
}

ScopedVariant::ScopedVariant(bool value) : ScopedVariant() {
  Set(value);
}

ScopedVariant::ScopedVariant(const VARIANT& var) : ScopedVariant() {
  ::VariantCopy(&var_, const_cast<VARIANT*>(&var));
}

ScopedVariant::ScopedVariant(ScopedVariant&& other) noexcept : ScopedVariant() {
  Swap(other);
}

ScopedVariant& ScopedVariant::operator=(ScopedVariant&& other) noexcept {
  if (this != &other) {
    Reset();
    Swap(other);
  }
  return *this;
}

ScopedVariant::~ScopedVariant() {
  ::VariantClear(&var_);
}

void ScopedVariant::Reset(const VARIANT& var) {
  if (&var == &var_)
    return;
  ::VariantClear(&var_);
  var_ = var;
}

void ScopedVariant::Reset() {
  ::VariantClear(&var_);
}

VARIANT ScopedVariant::Release() {
  VARIANT released = var_;
  ::VariantInit(&var_);
  return released;
}

VARIANT ScopedVariant::Copy() const {
  VARIANT copy;
  ::VariantInit(&copy);
  ::VariantCopy(&copy, const_cast<VARIANT*>(&var_));
  return copy;
}

void ScopedVariant::Swap(ScopedVariant& other) {
  std::swap(var_, other.var_);
}

VARIANT* ScopedVariant::Receive() {
  DCHECK(var_.vt == VT_EMPTY) << "ScopedVariant::Receive on a held value";
  ::VariantClear(&var_);
  return &var_;
}

void ScopedVariant::Set(std::wstring_view text) {
  ::VariantClear(&var_);
  var_.vt = VT_BSTR;
  var_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!var_.bstrVal)
    var_.vt = VT_EMPTY;
}

void ScopedVariant::Set(const wchar_t* text) {
  Set(std::wstring_view(text ? text : L""));
}

void ScopedVariant::Set(int32_t value) {
  ::VariantClear(&var_);
  var_.vt = VT_I4;
  var_.lVal = value;
}

void ScopedVariant::Set(int64_t value) {
  ::VariantClear(&var_);
  var_.vt = VT_I8;
  var_.llVal = value;
}

void ScopedVariant::Set(bool value) {
  ::VariantClear(&var_);
  var_.vt = VT_BOOL;
  var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void ScopedVariant::Set(IDispatch* object) {
  ::VariantClear(&var_);
  var_.vt = VT_DISPATCH;
  var_.pdispVal = object;
  if (object)
    object->AddRef();
}

void ScopedVariant::Set(IUnknown* object) {
  ::VariantClear(&var_);
  var_.vt = VT_UNKNOWN;
  var_.punkVal = object;
  if (object)
    object->AddRef();
}

}  // namespace base::win

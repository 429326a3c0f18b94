// Owner of a VARIANT, cleared with VariantClear. Setters free the previous
// content first. Receive() hands out the address for COM out-parameters (the
// variant must be empty).

#ifndef BASE_WIN_SCOPED_VARIANT_H_
#define BASE_WIN_SCOPED_VARIANT_H_

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string_view>

namespace base::win {

class ScopedVariant {
 public:
  ScopedVariant();
  // VT_BSTR holding a copy of |text|.
  explicit ScopedVariant(std::wstring_view text);
  // (Without this a literal would pick the bool overload.)
  explicit ScopedVariant(const wchar_t* text);
  // An integer variant; |vt| is VT_I4 unless given (VT_I1..VT_UI4, VT_INT, VT_UINT).
  explicit ScopedVariant(int32_t value, VARTYPE vt = VT_I4);
  // VT_BOOL.
  explicit ScopedVariant(bool value);
  // Copies |var| (VariantCopy).
  explicit ScopedVariant(const VARIANT& var);
  ScopedVariant(ScopedVariant&& other) noexcept;
  ScopedVariant& operator=(ScopedVariant&& other) noexcept;
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant();

  VARTYPE type() const { return var_.vt; }
  const VARIANT* ptr() const { return &var_; }
  const VARIANT& get() const { return var_; }

  // Clears and takes ownership of |var|'s content (no copy).
  void Reset(const VARIANT& var);
  void Reset();
  // Gives up ownership; the variant becomes VT_EMPTY.
  [[nodiscard]] VARIANT Release();
  // A copy the caller must clear.
  VARIANT Copy() const;
  void Swap(ScopedVariant& other);
  // For out-parameters. The variant must be VT_EMPTY.
  VARIANT* Receive();

  void Set(std::wstring_view text);
  void Set(const wchar_t* text);
  void Set(int32_t value);
  void Set(int64_t value);
  void Set(bool value);
  // Takes a reference on |object| (AddRef); null is stored as a null VT_DISPATCH.
  void Set(IDispatch* object);
  void Set(IUnknown* object);

 private:
  VARIANT var_;
};

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_VARIANT_H_

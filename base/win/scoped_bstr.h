// Owner of a BSTR, freed with SysFreeString. Receive() hands out the address for
// COM out-parameters (the previous string must have been released). COM pointers
// themselves are held in Microsoft::WRL::ComPtr (<wrl/client.h>).

#ifndef BASE_WIN_SCOPED_BSTR_H_
#define BASE_WIN_SCOPED_BSTR_H_

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string_view>

namespace base::win {

class ScopedBstr {
 public:
  ScopedBstr() = default;
  // A copy of |text| (may hold embedded nulls).
  explicit ScopedBstr(std::wstring_view text);
  ScopedBstr(ScopedBstr&& other) noexcept;
  ScopedBstr& operator=(ScopedBstr&& other) noexcept;
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr();

  BSTR Get() const { return bstr_; }
  // Frees the held string and takes ownership of |bstr|.
  void Reset(BSTR bstr = nullptr);
  // Gives up ownership.
  [[nodiscard]] BSTR Release();
  // Frees the held string and allocates a copy of |text|; null on failure.
  BSTR Allocate(std::wstring_view text);
  // Frees the held string and allocates |bytes| bytes of uninitialised storage.
  BSTR AllocateBytes(size_t bytes);
  // For out-parameters. The held string must be null.
  BSTR* Receive();
  void Swap(ScopedBstr& other);

  // Length in characters / bytes (SysStringLen / SysStringByteLen).
  size_t Length() const;
  size_t ByteLength() const;

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_BSTR_H_

// Owner of a GDI object (font, bitmap, brush) that deletes it with
// DeleteObject when it goes out of scope or is replaced.

#ifndef BASE_WIN_SCOPED_GDI_OBJECT_H_
#define BASE_WIN_SCOPED_GDI_OBJECT_H_

#include <windows.h>

#include <utility>

namespace base::win {

template <typename T>
class ScopedGDIObject {
 public:
  ScopedGDIObject() = default;
  explicit ScopedGDIObject(T object) : object_(object) {}
  ScopedGDIObject(ScopedGDIObject&& other) : object_(other.release()) {}
  ScopedGDIObject& operator=(ScopedGDIObject&& other) {
    reset(other.release());
    return *this;
  }
  ScopedGDIObject(const ScopedGDIObject&) = delete;
  ScopedGDIObject& operator=(const ScopedGDIObject&) = delete;
  ~ScopedGDIObject() { reset(); }

  T get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Deletes the held object and takes |object|.
  void reset(T object = nullptr) {
    if (object_ && object_ != object)
      ::DeleteObject(object_);
    object_ = object;
  }
  [[nodiscard]] T release() { return std::exchange(object_, nullptr); }

 private:
  T object_ = nullptr;
};

using ScopedBitmap = ScopedGDIObject<HBITMAP>;
using ScopedBrush = ScopedGDIObject<HBRUSH>;
using ScopedFont = ScopedGDIObject<HFONT>;

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_GDI_OBJECT_H_

#include "desktop/windows/installer/ui/resource_image.h"

#include <objidl.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
// GDI+'s headers use min and max unqualified.
using std::max;
using std::min;
#include <gdiplus.h>

#include "base/logging.h"
#include "base/win/resource_util.h"

namespace installer {

namespace {

// GDI+ is started for one decoding and shut down with it: the window decodes
// its three images once, and nothing else in the process uses GDI+.
class ScopedGdiplus {
 public:
  ScopedGdiplus() {
    Gdiplus::GdiplusStartupInput input;
    started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ScopedGdiplus(const ScopedGdiplus&) = delete;
  ScopedGdiplus& operator=(const ScopedGdiplus&) = delete;
  ~ScopedGdiplus() {
    if (started_)
      Gdiplus::GdiplusShutdown(token_);
  }
  bool started() const { return started_; }

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

}  // namespace

base::win::ScopedBitmap LoadResourceImage(int id, const wchar_t* type) {
  const void* data = nullptr;
  size_t length = 0;
  if (!base::win::GetResourceFromModule(nullptr, id, type, &data, &length) || length == 0) {
    LOG(ERROR) << "Image resource " << id << " not found";
    return {};
  }
  Microsoft::WRL::ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(static_cast<const BYTE*>(data), static_cast<UINT>(length)));
  if (!stream) {
    LOG(ERROR) << "No stream for image resource " << id;
    return {};
  }
  ScopedGdiplus gdiplus;
  if (!gdiplus.started()) {
    LOG(ERROR) << "GDI+ could not be started";
    return {};
  }
  HBITMAP bitmap = nullptr;
  {
    Gdiplus::Bitmap image(stream.Get());
    // A transparent background keeps the image's alpha: the bitmap comes out
    // premultiplied, as AlphaBlend wants it.
    if (image.GetLastStatus() != Gdiplus::Ok ||
        image.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap) != Gdiplus::Ok) {
      LOG(ERROR) << "Image resource " << id << " could not be decoded";
      return {};
    }
  }
  return base::win::ScopedBitmap(bitmap);
}

SIZE GetBitmapSize(HBITMAP bitmap) {
  BITMAP info = {};
  if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info))
    return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

void BlendBitmap(HDC dc, HBITMAP bitmap, const RECT& dest) {
  SIZE size = GetBitmapSize(bitmap);
  if (!size.cx || !size.cy)
    return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source, 0,
             0, size.cx, size.cy, blend);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace installer

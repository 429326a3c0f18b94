// Canvas: a 32-bit top-down picture, white until something is drawn into it,
// for tests that look at what a window really paints (WM_PRINTCLIENT or
// WM_ERASEBKGND into dc()) rather than at the formats it stores.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_TEST_CANVAS_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_TEST_CANVAS_H_

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include "base/win/scoped_gdi_object.h"

namespace installer {

inline BITMAPINFO TopDownBitmapInfo(SIZE size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  return info;
}

class Canvas {
 public:
  explicit Canvas(SIZE size) : size_(size) {
    BITMAPINFO info = TopDownBitmapInfo(size);
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<uint32_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_.get());
    RECT all = {0, 0, size.cx, size.cy};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }

  // What |window| paints of its client area.
  static SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
  }
  void Print(HWND window) {
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_),
                 PRF_CLIENT | PRF_ERASEBKGND);
  }

  HDC dc() const { return dc_; }
  SIZE size() const { return size_; }
  // 0xRRGGBB.
  uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * size_.cx + x] & 0xFFFFFF;
  }
  // The colours drawn in |area| (clipped to the picture).
  std::set<uint32_t> ColoursIn(RECT area) const {
    std::set<uint32_t> colours;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, size_.cy); ++y) {
      for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, size_.cx); ++x)
        colours.insert(At(x, y));
    }
    return colours;
  }
  // The smallest rectangle holding every pixel of |area| that is not
  // |background|; empty when there is none.
  RECT InkBounds() const { return InkBounds({0, 0, size_.cx, size_.cy}, 0xFFFFFF); }
  RECT InkBounds(RECT area, uint32_t background) const {
    RECT bounds = {size_.cx, size_.cy, 0, 0};
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, size_.cy); ++y) {
      for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, size_.cx); ++x) {
        if (At(x, y) == background)
          continue;
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
    }
    if (bounds.left >= bounds.right)
      bounds = {};
    return bounds;
  }

 private:
  SIZE size_;
  base::win::ScopedBitmap bitmap_;
  uint32_t* pixels_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_TEST_CANVAS_H_

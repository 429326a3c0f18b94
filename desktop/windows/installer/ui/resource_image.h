// Images of the installer executable: PNG and JPEG resources decoded by GDI+
// into bitmaps the window draws with AlphaBlend.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_

#include <windows.h>

#include "base/win/scoped_gdi_object.h"

namespace installer {

// Resource |id| of |type| ("PNG", "JPG") in the process's main executable as
// a 32-bit bitmap with premultiplied alpha, transparent where the image is.
// Null (logged) when the resource is missing or cannot be decoded.
base::win::ScopedBitmap LoadResourceImage(int id, const wchar_t* type);

// The width and height of |bitmap| (zero for null).
SIZE GetBitmapSize(HBITMAP bitmap);

// Draws |bitmap| of LoadResourceImage into |dest| (stretched to its size)
// blending its per-pixel alpha over what |dc| holds.
void BlendBitmap(HDC dc, HBITMAP bitmap, const RECT& dest);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_

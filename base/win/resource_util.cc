#include "base/win/resource_util.h"

namespace base::win {

bool GetResourceFromModule(HMODULE module, int resource_id, const wchar_t* resource_type,
                           const void** data, size_t* length) {
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(resource_id), resource_type);
  if (!resource)
    return false;
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (!loaded)
    return false;
  const void* locked = ::LockResource(loaded);
  if (!locked)
    return false;
  *data = locked;
  *length = ::SizeofResource(module, resource);
  return true;
}

}  // namespace base::win

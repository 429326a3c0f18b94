// Raw access to a module's resources. The data stays valid while the module
// is loaded; it is never copied.

#ifndef BASE_WIN_RESOURCE_UTIL_H_
#define BASE_WIN_RESOURCE_UTIL_H_

#include <windows.h>

#include <cstddef>

namespace base::win {

// The resource |resource_id| of |resource_type| in |module| (null: the main
// executable), in the loader's default language choice. False when it is
// missing or cannot be loaded.
bool GetResourceFromModule(HMODULE module, int resource_id, const wchar_t* resource_type,
                           const void** data, size_t* length);

}  // namespace base::win

#endif  // BASE_WIN_RESOURCE_UTIL_H_

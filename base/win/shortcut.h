// Shell links (".lnk" files): creating one with its target, arguments,
// working folder, icon and application user model id, reading one back, and
// removing a shortcut's taskbar pin. Every call needs COM initialised on the
// calling thread.

#ifndef BASE_WIN_SHORTCUT_H_
#define BASE_WIN_SHORTCUT_H_

#include <string>

#include "base/files/file_path.h"

namespace base::win {

struct ShortcutProperties {
  FilePath target;
  FilePath working_directory;
  std::wstring arguments;
  // Empty: the target's own icon.
  FilePath icon;
  int icon_index = 0;
  // Empty: none is stored.
  std::wstring app_id;
};

// Creates |shortcut|, replacing a file of that name.
bool CreateShortcutLink(const FilePath& shortcut, const ShortcutProperties& properties);

// Reads |shortcut|'s target and, each when asked (not null), its arguments
// and application user model id (empty when it has none).
bool ResolveShortcut(const FilePath& shortcut, FilePath* target, std::wstring* arguments,
                     std::wstring* app_id);

// Removes the taskbar pin made from |shortcut| through the shell's
// "taskbarunpin" verb. False when the shell has no such verb or it failed.
bool UnpinShortcutFromTaskbar(const FilePath& shortcut);

}  // namespace base::win

#endif  // BASE_WIN_SHORTCUT_H_

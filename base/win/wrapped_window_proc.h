// The filter that window procedures hand an escaping exception to. The crash
// client installs one that dumps the process and ends it; without one the
// exception goes on to the unhandled-exception handling.

#ifndef BASE_WIN_WRAPPED_WINDOW_PROC_H_
#define BASE_WIN_WRAPPED_WINDOW_PROC_H_

#include <windows.h>

namespace base::win {

using WinProcExceptionFilter = int (*)(EXCEPTION_POINTERS* exception_pointers);

// Sets the process's filter; returns the one set before.
WinProcExceptionFilter SetWinProcExceptionFilter(WinProcExceptionFilter filter);

// Runs the filter for |exception_pointers|; EXCEPTION_CONTINUE_SEARCH when
// there is none.
int CallExceptionFilter(EXCEPTION_POINTERS* exception_pointers);

}  // namespace base::win

#endif  // BASE_WIN_WRAPPED_WINDOW_PROC_H_

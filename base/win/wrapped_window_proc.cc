#include "base/win/wrapped_window_proc.h"

#include <atomic>

namespace base::win {

namespace {

std::atomic<WinProcExceptionFilter> g_filter{nullptr};

}  // namespace

WinProcExceptionFilter SetWinProcExceptionFilter(WinProcExceptionFilter filter) {
  return g_filter.exchange(filter);
}

int CallExceptionFilter(EXCEPTION_POINTERS* exception_pointers) {
  WinProcExceptionFilter filter = g_filter.load();
  return filter ? filter(exception_pointers) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace base::win

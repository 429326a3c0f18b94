#include "base/win/wrapped_window_proc.h"

#include <atomic>

// g++ has no __try/__except: the guarded frame is written out, with its
// exception handler named in its unwind information (@except: called while
// the system searches for a handler, before anything is unwound).
extern "C" {
bool base_win_RunWithExceptionFilter(void (*function)(void*), void* argument);
void base_win_RunWithExceptionFilterResume();
EXCEPTION_DISPOSITION base_win_WrappedCallHandler(EXCEPTION_RECORD* record,
                                                  void* establisher_frame, CONTEXT* context,
                                                  DISPATCHER_CONTEXT* dispatcher);
}

asm(R"(
	.text
	.p2align 4
	.globl	base_win_RunWithExceptionFilter
	.def	base_win_RunWithExceptionFilter;	.scl	2;	.type	32;	.endef
	.seh_proc	base_win_RunWithExceptionFilter
base_win_RunWithExceptionFilter:
	.seh_handler	base_win_WrappedCallHandler, @except
	subq	$40, %rsp
	.seh_stackalloc	40
	.seh_endprologue
	movq	%rcx, %rax
	movq	%rdx, %rcx
	callq	*%rax
	movl	$1, %eax
	.globl	base_win_RunWithExceptionFilterResume
base_win_RunWithExceptionFilterResume:
	addq	$40, %rsp
	ret
	.seh_endproc
)");

EXCEPTION_DISPOSITION base_win_WrappedCallHandler(EXCEPTION_RECORD* record,
                                                  void* establisher_frame, CONTEXT* context,
                                                  DISPATCHER_CONTEXT* dispatcher) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  EXCEPTION_POINTERS pointers = {record, context};
  switch (base::win::CallExceptionFilter(&pointers)) {
    case EXCEPTION_CONTINUE_EXECUTION:
      return ExceptionContinueExecution;
    case EXCEPTION_EXECUTE_HANDLER:
      // Back into the guarded frame, past the call, with false as its result.
      RtlUnwindEx(establisher_frame,
                  reinterpret_cast<void*>(&base_win_RunWithExceptionFilterResume), record,
                  nullptr, dispatcher->ContextRecord, dispatcher->HistoryTable);
      break;
  }
  return ExceptionContinueSearch;
}

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

namespace internal {

bool RunWithExceptionFilter(void (*function)(void*), void* argument) {
  return base_win_RunWithExceptionFilter(function, argument);
}

}  // namespace internal

}  // namespace base::win

// Window procedures that hand an exception escaping them to the process's
// filter. A window procedure runs inside the system's message dispatch,
// which swallows an exception that escapes a procedure called back for a
// sent message (64-bit Windows under the default exception policy, some
// versions always): the process would go on in a broken state, and no dump
// would show the crash. A procedure registered as WrappedWindowProc<&Proc>
// runs in a frame whose exception handler calls the filter while the
// faulting frames still exist; the crash client installs one that dumps the
// process and ends it. Without a filter the exception goes on its way.
//
// Every window, dialog, subclass and hook procedure of the product is
// registered wrapped. A subclass is removed under the wrapped address it was
// set with.

#ifndef BASE_WIN_WRAPPED_WINDOW_PROC_H_
#define BASE_WIN_WRAPPED_WINDOW_PROC_H_

#include <windows.h>

#include <tuple>

namespace base::win {

using WinProcExceptionFilter = int (*)(EXCEPTION_POINTERS* exception_pointers);

// Sets the process's filter; returns the one set before.
WinProcExceptionFilter SetWinProcExceptionFilter(WinProcExceptionFilter filter);

// Runs the filter for |exception_pointers|; EXCEPTION_CONTINUE_SEARCH when
// there is none.
int CallExceptionFilter(EXCEPTION_POINTERS* exception_pointers);

namespace internal {

// Runs |function|(|argument|) in a frame whose handler gives an exception
// that escapes it to CallExceptionFilter. True when the function returned;
// false when the filter answered EXCEPTION_EXECUTE_HANDLER and the frames up
// to here were unwound.
bool RunWithExceptionFilter(void (*function)(void*), void* argument);

template <auto kProcedure>
struct WrappedProcedure;

template <typename Result, typename... Args, Result (*kProcedure)(Args...)>
struct WrappedProcedure<kProcedure> {
  static Result CALLBACK Run(Args... args) {
    struct Call {
      std::tuple<Args...> args;
      Result result;
    } call{{args...}, Result()};
    RunWithExceptionFilter(
        [](void* pending) {
          auto* call = static_cast<Call*>(pending);
          call->result = std::apply(kProcedure, call->args);
        },
        &call);
    return call.result;
  }
};

}  // namespace internal

// |kProcedure| wrapped, of the same type; 0 is its answer to a message whose
// exception the filter dropped.
template <auto kProcedure>
inline constexpr auto WrappedWindowProc = &internal::WrappedProcedure<kProcedure>::Run;

}  // namespace base::win

#endif  // BASE_WIN_WRAPPED_WINDOW_PROC_H_

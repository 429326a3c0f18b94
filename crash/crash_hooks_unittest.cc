#include "crash/crash_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace crash {
namespace {

// Each test crashes a child process (a death test) and looks at its exit
// code and at what the hook wrote to standard error.

bool PrintingHook(EXCEPTION_POINTERS* pointers, const AssertionInfo* assertion) {
  fprintf(stderr, "hook code=%08lx assertion=%d\n", pointers->ExceptionRecord->ExceptionCode,
          assertion ? static_cast<int>(assertion->type) : -1);
  fflush(stderr);
  return true;
}

std::wstring g_marker;

// Would leave a file behind if the crashed process ran its clean-up.
struct MarkerOnDestruction {
  ~MarkerOnDestruction() { base::WriteFile(base::FilePath(g_marker), "ran"); }
};

void AtExitMarker() {
  base::WriteFile(base::FilePath(g_marker + L".atexit"), "ran");
}

[[noreturn]] void CrashWithAccessViolation() {
  volatile int* null_pointer = nullptr;
  *null_pointer = 1;
  __builtin_unreachable();
}

TEST(CrashHooksDeathTest, AccessViolationReachesTheHookAndEndsWithItsCode) {
  EXPECT_EXIT(
      {
        InstallCrashHooks(&PrintingHook);
        CrashWithAccessViolation();
      },
      testing::ExitedWithCode(static_cast<int>(0xC0000005)), "hook code=c0000005 assertion=-1");
}

TEST(CrashHooksDeathTest, AbortEndsWithTheFatalExitCodeNotWithSuccess) {
  EXPECT_EXIT(
      {
        InstallCrashHooks(&PrintingHook);
        abort();
      },
      testing::ExitedWithCode(static_cast<int>(kAbortCode)), "hook code=40000015 assertion=-1");
}

TEST(CrashHooksDeathTest, TerminateReachesTheHook) {
  EXPECT_EXIT(
      {
        InstallCrashHooks(&PrintingHook);
        std::terminate();
      },
      testing::ExitedWithCode(static_cast<int>(kAbortCode)), "hook code=40000015");
}

TEST(CrashHooksDeathTest, NonExceptionCrashCarriesItsAssertion) {
  EXPECT_EXIT(
      {
        InstallCrashHooks(&PrintingHook);
        AssertionInfo assertion = {};
        assertion.type = kAssertionInvalidParameter;
        ReportNonExceptionCrash(kInvalidParameterCode, &assertion);
      },
      testing::ExitedWithCode(static_cast<int>(kInvalidParameterCode)),
      "hook code=c000000d assertion=1");
}

TEST(CrashHooksDeathTest, CrashedProcessRunsNoDestructorsOrAtExitWork) {
  // The child re-runs this test: it takes the parent's marker name from the
  // environment it inherits.
  constexpr wchar_t kMarkerVariable[] = L"CRASH_HOOKS_TEST_MARKER";
  wchar_t inherited[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kMarkerVariable, inherited, MAX_PATH) == 0) {
    g_marker = base::test::UniqueName(base::test::ScratchFolder() + L"\\marker");
    SetEnvironmentVariableW(kMarkerVariable, g_marker.c_str());
  } else {
    g_marker = inherited;
  }
  EXPECT_EXIT(
      {
        static MarkerOnDestruction marker;
        atexit(&AtExitMarker);
        InstallCrashHooks(&PrintingHook);
        CrashWithAccessViolation();
      },
      testing::ExitedWithCode(static_cast<int>(0xC0000005)), "hook");
  EXPECT_FALSE(base::PathExists(base::FilePath(g_marker)));
  EXPECT_FALSE(base::PathExists(base::FilePath(g_marker + L".atexit")));
  SetEnvironmentVariableW(kMarkerVariable, nullptr);
}

TEST(CrashHooksTest, UninstallPutsBackThePreviousFilter) {
  LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(before);
  InstallCrashHooks(&PrintingHook);
  UninstallCrashHooks();
  LPTOP_LEVEL_EXCEPTION_FILTER after = SetUnhandledExceptionFilter(before);
  EXPECT_EQ(before, after);
}

}  // namespace
}  // namespace crash

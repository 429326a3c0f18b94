// A test that runs one of this executable's tests in a process of its own and
// waits for it a limited time: a call that could block for ever (a box that
// nobody answers, a wait that never ends) then fails the test instead of
// holding it until ctest's time-out.
//
// The test run there skips itself unless IsChildTestProcess(), so that it does
// nothing in an ordinary run. Its parent learns from the child's GoogleTest
// report that it ran to its end there and passed: a name that selects no test,
// or a test that skipped itself, fails the parent.

#ifndef BASE_TEST_CHILD_TEST_PROCESS_H_
#define BASE_TEST_CHILD_TEST_PROCESS_H_

#include <windows.h>

#include <string>

#include "gtest/gtest.h"

namespace base::test {

// Whether this process was started by RunTestInChildProcess.
bool IsChildTestProcess();

// Runs the test |name| ("Suite.Test") of this executable in a child process
// and waits at most |limit_ms| for it; a child that overruns is ended.
testing::AssertionResult RunTestInChildProcess(const std::string& name, DWORD limit_ms);

}  // namespace base::test

#endif  // BASE_TEST_CHILD_TEST_PROCESS_H_

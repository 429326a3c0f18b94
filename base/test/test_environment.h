// Isolation of a test process: every GoogleTest executable's main redirects
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER to scratch keys of its own and points
// TMP and TEMP at a scratch folder of its own, so that tests run in parallel in
// one Wine prefix and leave nothing behind. Every test starts with both empty
// (a temporary folder of its own) and with an at-exit manager of its own, so
// that it sees nothing an earlier test of the process left. Both are removed
// when main returns; a test process started by another (a death test's
// child) keeps its own inside its parent's. What a process that was ended or crashed could not
// remove, the next test process to start removes. Child processes do not
// inherit the registry redirection.

#ifndef BASE_TEST_TEST_ENVIRONMENT_H_
#define BASE_TEST_TEST_ENVIRONMENT_H_

#include <string>

namespace base::test {

// The scratch folder of this test process (no trailing backslash).
const std::wstring& ScratchFolder();

// A name unique to this process and call, for kernel objects, keys and folders.
std::wstring UniqueName(const std::wstring& prefix);

// The real HKCU path (relative to the real HKEY_CURRENT_USER) under which this
// process's redirected hives live, for tests that must talk about it.
const std::wstring& ScratchRegistryPath();

}  // namespace base::test

#endif  // BASE_TEST_TEST_ENVIRONMENT_H_

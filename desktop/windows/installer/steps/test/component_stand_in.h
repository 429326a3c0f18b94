// The component installer stand-ins the build makes beside the test
// executables (tests/fixtures/component_installer): the same program
// unsigned ("component_installer_stub.exe"), signed by the expected signer
// ("expected_signer.exe") and by another publisher ("other_signer.exe"). A
// copy records its command line in "<copy>.args" and follows the
// instruction in "<copy>.exit".

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_COMPONENT_STAND_IN_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_COMPONENT_STAND_IN_H_

#include <string>

#include "base/base_paths.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/path_service.h"

namespace installer {

// The stand-in |name| as the build made it.
inline base::FilePath ComponentFixture(const wchar_t* name) {
  base::FilePath exe_dir;
  base::PathService::Get(base::DIR_EXE, &exe_dir);
  return exe_dir.DirName().Append(L"fixtures").Append(L"components").Append(name);
}

// Copies the stand-in |fixture| to |program|, to follow |instruction|: a
// decimal exit code, "wait <event name>" or "signal <event name>".
inline bool PlaceComponentStandIn(const wchar_t* fixture, const base::FilePath& program,
                                  const std::string& instruction) {
  return base::CopyFile(ComponentFixture(fixture), program) &&
         base::WriteFile(base::FilePath(program.value() + L".exit"), instruction);
}

// The command line the copy at |program| recorded; empty when it never ran.
inline std::string StandInArguments(const base::FilePath& program) {
  std::string arguments;
  base::ReadFileToString(base::FilePath(program.value() + L".args"), &arguments);
  return arguments;
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_TEST_COMPONENT_STAND_IN_H_

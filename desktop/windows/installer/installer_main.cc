// The exported entry of the installer library.

#include "desktop/windows/installer/run_installer.h"

namespace {

// Refuses a processor without SSE2 as soon as the library is loaded, before
// the host can call in.
struct Sse2Check {
  Sse2Check() { installer::CheckSse2Support(); }
} g_sse2_check;

}  // namespace

extern "C" __declspec(dllexport) bool RunInstaller() {
  return installer::RunInstaller();
}

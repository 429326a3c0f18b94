// The exported entries of the installer library.

#include "base/win/scoped_handle_verifier.h"
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

// The process's scoped-handle verifier, shared with the other modules of the
// process (base/win/scoped_handle_verifier.h).
extern "C" __declspec(dllexport) void* GetHandleVerifier() {
  return base::win::ScopedHandleVerifier::GetModuleInstance();
}

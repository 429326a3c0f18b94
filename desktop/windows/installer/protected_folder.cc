#include "desktop/windows/installer/protected_folder.h"

#include <windows.h>
#include <sddl.h>

#include "base/rand_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_localalloc.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Full control for the system and the administrators, nothing inherited from
// the folder above, owned by the administrators: the user who started the
// installation can neither change what is in it nor its rights.
constexpr wchar_t kProtectedFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Names are random: a folder another user made first is never taken over.
constexpr int kNameAttempts = 8;

}  // namespace

bool MakeProtectedFolder(const base::FilePath& parent, const std::string& kind,
                         base::FilePath* folder, std::string* error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kProtectedFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
    *error = "Cannot build the protected folder's security: error " +
             std::to_string(::GetLastError());
    return false;
  }
  base::win::ScopedLocalAlloc descriptor_owner = base::win::TakeLocalAlloc(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor_owner.get(), FALSE};
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    unsigned char random[8];
    base::RandBytes(random, sizeof(random));
    *folder = parent.AppendASCII(ProductConfig::GetFileNameBase() + "_" + kind + "_" +
                                 base::HexEncode(random, sizeof(random)));
    // A folder that exists already is someone else's: only a new one is ours.
    if (::CreateDirectoryW(folder->value().c_str(), &attributes))
      return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  *error = "Cannot create a protected folder in " + base::WideToUTF8(parent.value()) +
           ": error " + std::to_string(::GetLastError());
  folder->clear();
  return false;
}

}  // namespace installer

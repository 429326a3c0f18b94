#include "base/environment.h"

#include <windows.h>

#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

class EnvironmentImpl : public Environment {
 public:
  bool GetVar(std::string_view variable_name, std::string* result) override {
    std::wstring name = UTF8ToWide(variable_name);
    if (name.empty())
      return false;
    // The value can change between the size query and the read; retry then.
    std::wstring value(64, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
      ::SetLastError(ERROR_SUCCESS);
      DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(),
                                               static_cast<DWORD>(value.size()));
      if (length == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
          return false;
        // Set but empty.
        if (result)
          result->clear();
        return true;
      }
      if (length < value.size()) {
        value.resize(length);
        if (result)
          *result = WideToUTF8(value);
        return true;
      }
      value.assign(length, L'\0');
    }
    return false;
  }

  bool SetVar(std::string_view variable_name, const std::string& new_value) override {
    std::wstring name = UTF8ToWide(variable_name);
    if (name.empty() || name.find(L'=') != std::wstring::npos)
      return false;
    return ::SetEnvironmentVariableW(name.c_str(), UTF8ToWide(new_value).c_str()) != FALSE;
  }

  bool UnSetVar(std::string_view variable_name) override {
    std::wstring name = UTF8ToWide(variable_name);
    if (name.empty())
      return false;
    return ::SetEnvironmentVariableW(name.c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ENVVAR_NOT_FOUND;
  }
};

}  // namespace

std::unique_ptr<Environment> Environment::Create() {
  return std::make_unique<EnvironmentImpl>();
}

}  // namespace base

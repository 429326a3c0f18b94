#include "crash_reporting/crash_reporter_names.h"

#include <cwchar>

#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "product_config/product_config.h"

namespace crash_reporting {

std::wstring FormatObjectName(const wchar_t* base_name, DWORD id) {
  wchar_t buffer[38] = {};
  swprintf(buffer, std::size(buffer), L"%ls%u", base_name, static_cast<unsigned>(id));
  return buffer;
}

std::string GetProductEnvVarName(const char* name) {
  return base::ToUpperASCII(installer::GetProductName()) + "_" + name;
}

std::wstring GetDumpFileName(DWORD reporter_id, unsigned long sequence) {
  wchar_t buffer[MAX_PATH] = {};
  swprintf(buffer, std::size(buffer), L"%ls-crashlog-%u-%lu%ls",
           base::UTF8ToWide(base::ToLowerASCII(installer::GetProductName())).c_str(),
           static_cast<unsigned>(reporter_id), sequence, L".dmp");
  return buffer;
}

}  // namespace crash_reporting

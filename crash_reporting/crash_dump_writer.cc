#include "crash_reporting/crash_dump_writer.h"

#include <string>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/system_library.h"
#include "product_config/product_config.h"

namespace crash_reporting {

namespace {

constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057);

bool ReadExactly(HANDLE process, uint64_t address, void* buffer, size_t size) {
  SIZE_T read = 0;
  return address != 0 &&
         ReadProcessMemory(process, reinterpret_cast<const void*>(address), buffer, size,
                           &read) &&
         read == size;
}

bool TruncateFile(HANDLE file) {
  LARGE_INTEGER zero = {};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

}  // namespace

bool ReadClientExceptionInfo(const crash::ClientInfo& client, CrashHandoffInfo* info) {
  *info = {};
  uint64_t pointers = 0;
  DWORD thread_id = 0;
  if (!ReadExactly(client.process, client.exception_pointers_address, &pointers,
                   sizeof(pointers)) ||
      !ReadExactly(client.process, client.thread_id_address, &thread_id, sizeof(thread_id))) {
    return false;
  }
  info->exception_pointers = pointers;
  info->thread_id = thread_id;
  if (client.assertion_info_address &&
      !ReadExactly(client.process, client.assertion_info_address, &info->assertion,
                   sizeof(info->assertion))) {
    return false;
  }
  return true;
}

bool ReadHandoffInfo(DWORD process_id, uint64_t address, CrashHandoffInfo* info) {
  base::win::ScopedHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id));
  return process.IsValid() && ReadExactly(process.Get(), address, info, sizeof(*info));
}

bool WriteCrashDump(HANDLE process, DWORD process_id, const CrashHandoffInfo& info,
                    const base::FilePath& file, uint64_t size_limit) {
  HMODULE dbghelp = base::win::LoadSystemLibrary(L"dbghelp.dll");
  if (!dbghelp)
    return false;
  auto write_dump =
      reinterpret_cast<MiniDumpWriteDumpFunction>(GetProcAddress(dbghelp, "MiniDumpWriteDump"));
  return write_dump && WriteCrashDump(process, process_id, info, file, size_limit, write_dump);
}

bool WriteCrashDump(HANDLE process, DWORD process_id, const CrashHandoffInfo& info,
                    const base::FilePath& file, uint64_t size_limit,
                    MiniDumpWriteDumpFunction write_dump) {

  MINIDUMP_EXCEPTION_INFORMATION exception = {};
  exception.ThreadId = info.thread_id;
  exception.ExceptionPointers =
      reinterpret_cast<EXCEPTION_POINTERS*>(static_cast<uintptr_t>(info.exception_pointers));
  exception.ClientPointers = TRUE;

  std::string version = installer::GetVersion() + " " +
                        base::NumberToString(installer::GetUniqueBuildNumber());
  MINIDUMP_USER_STREAM streams[2] = {};
  streams[0].Type = kVersionStreamType;
  streams[0].BufferSize = static_cast<ULONG>(version.size());
  streams[0].Buffer = version.data();
  ULONG stream_count = 1;
  crash::AssertionInfo assertion = info.assertion;
  if (info.assertion.type == crash::kAssertionInvalidParameter) {
    streams[1].Type = kAssertionStreamType;
    streams[1].BufferSize = sizeof(assertion);
    streams[1].Buffer = &assertion;
    stream_count = 2;
  }
  MINIDUMP_USER_STREAM_INFORMATION user_streams = {stream_count, streams};

  HANDLE raw_file = CreateFileW(file.value().c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
  if (raw_file == INVALID_HANDLE_VALUE)
    return false;
  base::win::ScopedHandle dump_file(raw_file);
  bool written = false;
  const MINIDUMP_TYPE kTypes[] = {
      static_cast<MINIDUMP_TYPE>(MiniDumpWithIndirectlyReferencedMemory |
                                 MiniDumpWithUnloadedModules),
      MiniDumpNormal};
  for (MINIDUMP_TYPE type : kTypes) {
    if (write_dump(process, process_id, dump_file.Get(), type,
                   info.exception_pointers ? &exception : nullptr, &user_streams, nullptr)) {
      LARGE_INTEGER size = {};
      if (!GetFileSizeEx(dump_file.Get(), &size))
        break;
      if (static_cast<uint64_t>(size.QuadPart) <= size_limit) {
        written = true;
        break;
      }
      LOG(WARNING) << "Dump of type " << type << " is " << size.QuadPart << " bytes, too large";
    } else if (static_cast<HRESULT>(GetLastError()) != kInvalidArgument) {
      PLOG(ERROR) << "MiniDumpWriteDump failed";
      break;
    }
    if (!TruncateFile(dump_file.Get()))
      break;
  }
  dump_file.Close();
  // A crashed process waits for its dump only so long; one that has ended
  // meanwhile was dumped while being torn down, and that is no dump of the
  // crash. A handle without SYNCHRONIZE cannot tell, and keeps the dump.
  if (written && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
    LOG(WARNING) << "Process " << process_id << " ended before its dump was complete";
    written = false;
  }
  if (!written)
    DeleteFileW(file.value().c_str());
  return written;
}

}  // namespace crash_reporting

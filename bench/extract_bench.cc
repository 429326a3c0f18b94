// Unpacks a 7z archive with the product's unpacker, as the package fetcher
// does, for the extraction benchmark (bench/run.sh).
//
//   extract_bench.exe ARCHIVE DESTINATION
//
// Exits with the extraction's result code (0 on success) and prints the
// process's peak private bytes and working set as Windows reports them.

#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "base/files/file_path.h"
#include "desktop/windows/installer/package_fetcher/seven_zip_archive_reader.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: extract_bench ARCHIVE DESTINATION\n");
    return 100;
  }
  installer::SevenZipArchiveReader reader;
  if (reader.Open(base::FilePath(argv[1])) != installer::SEVEN_ZIP_OPEN_OK)
    return 101;
  const int result = installer::ExtractSevenZipArchive(&reader, base::FilePath(argv[2]), nullptr);
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) {
    std::printf("peak_private_bytes=%llu peak_working_set=%llu\n",
                static_cast<unsigned long long>(counters.PeakPagefileUsage),
                static_cast<unsigned long long>(counters.PeakWorkingSetSize));
  }
  return result;
}

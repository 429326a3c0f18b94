#include "desktop/windows/installer/package_fetcher/seven_zip_archive_reader.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "7z.h"
#include "7zCrc.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/package_fetcher/file_backed_sz_alloc.h"
#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/package_fetcher/safe_relative_path.h"

namespace installer {

namespace {

constexpr Byte kSignature[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
constexpr size_t kSignatureSize = sizeof(kSignature);
// The start header: signature, version (2), CRC (4) of the next 20 bytes
// (next header offset, size and CRC).
constexpr size_t kStartHeaderSize = 32;
constexpr size_t kStartHeaderCrcOffset = 8;
constexpr size_t kStartHeaderCrcedOffset = 12;
constexpr DWORD kScanChunk = 1024;
constexpr uint64_t kScanLimit = 0x100000;
// The decoder's input buffer, as the SDK's own extractor uses.
constexpr size_t kInputBufferSize = 1 << 18;
// Largest single WriteFile.
constexpr DWORD kMaxWrite = 1u << 30;

// Reads up to |size| bytes at |offset|; the count read, 0 on failure or at
// the end of the file.
DWORD ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  OVERLAPPED overlapped = {};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!::ReadFile(file, buffer, size, &read, &overlapped))
    return 0;
  return read;
}

bool IsStartHeaderAt(HANDLE file, uint64_t offset) {
  Byte header[kStartHeaderSize];
  if (ReadAt(file, offset, header, sizeof(header)) != sizeof(header))
    return false;
  UInt32 stored;
  std::memcpy(&stored, header + kStartHeaderCrcOffset, sizeof(stored));
  return CrcCalc(header + kStartHeaderCrcedOffset, kStartHeaderSize - kStartHeaderCrcedOffset) ==
         stored;
}

// Finds the archive in the first 1 MiB from |start| and seeks the file to
// the archive's start.
bool FindArchive(HANDLE file, uint64_t start) {
  Byte chunk[kScanChunk];
  uint64_t offset = start;
  while (offset - start < kScanLimit) {
    const DWORD read = ReadAt(file, offset, chunk, sizeof(chunk));
    if (read <= kSignatureSize)
      return false;
    const Byte* end = chunk + read;
    for (const Byte* at = chunk;
         (at = std::search(at, end, kSignature, kSignature + kSignatureSize)) != end; ++at) {
      const uint64_t position = offset + static_cast<uint64_t>(at - chunk);
      if (!IsStartHeaderAt(file, position))
        continue;
      LARGE_INTEGER distance;
      distance.QuadPart = static_cast<LONGLONG>(position);
      return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
    }
    // Step back so that a signature across two chunks is found.
    offset += read - kSignatureSize;
  }
  return false;
}

void* HeapAlloc(ISzAllocPtr, size_t size) {
  return size == 0 ? nullptr : std::malloc(size);
}

void HeapFree(ISzAllocPtr, void* address) {
  std::free(address);
}

const ISzAlloc kHeapAlloc = {&HeapAlloc, &HeapFree};

// Writes |size| bytes, in pieces WriteFile can take. False on a failure or a
// short write.
bool WriteAll(HANDLE file, const Byte* data, size_t size) {
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, kMaxWrite));
    DWORD written = 0;
    if (!::WriteFile(file, data, piece, &written, nullptr))
      return false;
    if (written != piece) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += piece;
    size -= piece;
  }
  return true;
}

std::wstring EntryName(const CSzArEx& db, size_t index) {
  const size_t length = SzArEx_GetFileNameUtf16(&db, index, nullptr);
  if (length <= 1)
    return std::wstring();
  std::vector<UInt16> name(length);
  SzArEx_GetFileNameUtf16(&db, index, name.data());
  return std::wstring(name.begin(), name.end() - 1);
}

// Writes one decoded file entry and sets its modification time.
SevenZipExtractResult WriteEntry(const base::FilePath& path, const Byte* data, size_t size,
                                 const CSzArEx& db, size_t index) {
  HANDLE file = ::CreateFileW(path.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    LOG(ERROR) << L"Error returned by CreateFile: " << ::GetLastError();
    return SEVEN_ZIP_CREATE_FILE_FAILED;
  }
  if (!WriteAll(file, data, size)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    LOG(ERROR) << L"Error returned by WriteFile " << error;
    return SEVEN_ZIP_WRITE_FAILED;
  }
  if (SzBitWithVals_Check(&db.MTime, index)) {
    FILETIME time;
    time.dwLowDateTime = db.MTime.Vals[index].Low;
    time.dwHighDateTime = db.MTime.Vals[index].High;
    if (!::SetFileTime(file, nullptr, nullptr, &time)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(file);
      LOG(ERROR) << L"Error returned by SetFileTime " << error;
      return SEVEN_ZIP_SET_TIME_FAILED;
    }
  }
  if (!::CloseHandle(file)) {
    LOG(ERROR) << L"Error returned by CloseHandle " << ::GetLastError();
    return SEVEN_ZIP_CLOSE_FAILED;
  }
  return SEVEN_ZIP_OK;
}

// The output paths of every entry, or the failure of the first whose name is
// missing or would leave the destination.
SevenZipExtractResult GetOutputPaths(const CSzArEx& db, const base::FilePath& destination,
                                     std::vector<base::FilePath>* paths) {
  paths->reserve(db.NumFiles);
  for (size_t i = 0; i < db.NumFiles; ++i) {
    std::wstring name = EntryName(db, i);
    if (name.empty()) {
      LOG(ERROR) << L"Couldn't get file name";
      return SEVEN_ZIP_NO_NAME;
    }
    if (!IsSafeRelativePath(std::wstring_view(name))) {
      LOG(ERROR) << L"Unsafe name in archive: " << name;
      return SEVEN_ZIP_UNSAFE_NAME;
    }
    std::replace(name.begin(), name.end(), L'/', L'\\');
    paths->push_back(destination.Append(name));
  }
  return SEVEN_ZIP_OK;
}

}  // namespace

SevenZipArchiveReader::SevenZipArchiveReader() {
  stream_.Read = &SevenZipArchiveReader::Read;
  stream_.Seek = &SevenZipArchiveReader::Seek;
  stream_.reader = this;
}

SevenZipArchiveReader::~SevenZipArchiveReader() {
  Close();
  created_folders_.clear();
}

SevenZipOpenResult SevenZipArchiveReader::Open(const base::FilePath& path, uint64_t start) {
  Close();
  start_ = start;
  file_.Set(::CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file_.IsValid())
    return SEVEN_ZIP_OPEN_OK;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SEVEN_ZIP_OPEN_NOT_FOUND
                                                                        : SEVEN_ZIP_OPEN_FAILED;
}

void SevenZipArchiveReader::Close() {
  file_.Close();
}

void SevenZipArchiveReader::CreateFolderOnce(const base::FilePath& folder) {
  if (created_folders_.insert(folder.value()).second)
    base::CreateDirectory(folder);
}

// static
SRes SevenZipArchiveReader::Read(ISeekInStreamPtr stream, void* buffer, size_t* size) {
  const SevenZipArchiveReader* reader = static_cast<const Stream*>(stream)->reader;
  const size_t wanted = *size;
  size_t done = 0;
  while (done < wanted) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(wanted - done, MAXDWORD));
    DWORD read = 0;
    // A failed read is a failure, never a short archive.
    if (!::ReadFile(reader->file_.Get(), static_cast<Byte*>(buffer) + done, piece, &read,
                    nullptr)) {
      *size = 0;
      return SZ_ERROR_READ;
    }
    // The end of the file: the decoder may look past the end of its data
    // (PPMd does) and judges a short archive itself.
    if (read == 0)
      break;
    done += read;
  }
  *size = done;
  return SZ_OK;
}

// static
SRes SevenZipArchiveReader::Seek(ISeekInStreamPtr stream, Int64* position, ESzSeek origin) {
  const SevenZipArchiveReader* reader = static_cast<const Stream*>(stream)->reader;
  DWORD method;
  switch (origin) {
    case SZ_SEEK_SET:
      method = FILE_BEGIN;
      break;
    case SZ_SEEK_CUR:
      method = FILE_CURRENT;
      break;
    case SZ_SEEK_END:
      method = FILE_END;
      break;
    default:
      return SZ_ERROR_PARAM;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = *position;
  LARGE_INTEGER moved;
  if (!::SetFilePointerEx(reader->file_.Get(), distance, &moved, method))
    return SZ_ERROR_READ;
  *position = moved.QuadPart;
  return SZ_OK;
}

SevenZipExtractResult ExtractSevenZipArchive(SevenZipArchiveReader* reader,
                                             const base::FilePath& destination,
                                             base::FilePath* last_path) {
  if (!reader->IsOpen())
    return SEVEN_ZIP_NOT_OPEN;
  reader->ForgetCreatedFolders();
  CrcGenerateTable();
  if (!FindArchive(reader->file(), reader->start()))
    return SEVEN_ZIP_NO_SIGNATURE;

  CLookToRead2 look;
  LookToRead2_CreateVTable(&look, False);
  std::vector<Byte> input(kInputBufferSize);
  look.buf = input.data();
  look.bufSize = input.size();
  look.realStream = reader->stream();
  LookToRead2_INIT(&look);

  CSzArEx db;
  SzArEx_Init(&db);
  SRes res = SzArEx_Open(&db, &look.vt, &kHeapAlloc, &kHeapAlloc);
  if (res != SZ_OK) {
    LOG(ERROR) << L"Error returned by SzArchiveOpen: " << res;
    return SEVEN_ZIP_ARCHIVE_OPEN_FAILED;
  }

  std::vector<base::FilePath> paths;
  SevenZipExtractResult result = GetOutputPaths(db, destination, &paths);
  if (result != SEVEN_ZIP_OK) {
    SzArEx_Free(&db, &kHeapAlloc);
    return result;
  }

  FileBackedSzAlloc block_alloc(destination);
  InPageErrorGuard guard(
      [&block_alloc](const void* address) { return block_alloc.Contains(address); });
  if (PackageFetcherObserver* observer = reader->observer())
    observer->SetTotalProgress(static_cast<int>(db.NumFiles));

  UInt32 block_index = 0xFFFFFFFF;
  Byte* block = nullptr;
  size_t block_size = 0;
  for (UInt32 i = 0; i < db.NumFiles; ++i) {
    if (PackageFetcherObserver* observer = reader->observer())
      observer->SetCurrentProgress(static_cast<int>(i));

    size_t offset = 0;
    size_t size = 0;
    // Entries without data (folders, empty files) are not decoded: the
    // decoder would drop the current block and decode it again for the next
    // entry.
    if (db.FileToFolder[i] != static_cast<UInt32>(-1)) {
      const bool completed = guard.Run([&] {
        res = SzArEx_Extract(&db, &look.vt, i, &block_index, &block, &block_size, &offset, &size,
                             &block_alloc, &kHeapAlloc);
      });
      if (!completed) {
        LOG(ERROR) << L"EXCEPTION_IN_PAGE_ERROR while accessing mapped memory; NTSTATUS = "
                   << guard.status();
        result = SEVEN_ZIP_IN_PAGE_ERROR;
        break;
      }
      if (res != SZ_OK) {
        LOG(ERROR) << L"Error returned by SzExtract: " << res;
        result = SEVEN_ZIP_DECODE_FAILED;
        break;
      }
    }

    const base::FilePath& path = paths[i];
    if (last_path)
      *last_path = path;
    if (SzArEx_IsDir(&db, i)) {
      reader->CreateFolderOnce(path);
      continue;
    }
    reader->CreateFolderOnce(path.DirName());
    result = WriteEntry(path, block ? block + offset : nullptr, size, db, i);
    if (result != SEVEN_ZIP_OK)
      break;
  }

  block_alloc.Free(block);
  SzArEx_Free(&db, &kHeapAlloc);
  return result;
}

}  // namespace installer

// Unpacks the browser package, a 7z archive that may sit behind an executable
// stub (a self-extracting file), into a folder. The decoding is the LZMA SDK's
// 7z decoder; this is the reader over a Windows file that feeds it, and the
// extraction loop that writes every entry with its modification time.
//
// The archive is found by scanning the first 1 MiB from where the reader
// starts (the file's start, or a payload's offset) in 1024-byte chunks for the
// 7z signature whose start header's CRC matches, so a stub whose code or data
// holds the signature bytes is passed over. Large solid blocks are decoded into
// a FileBackedSzAlloc in the destination folder, so extraction needs no heap
// memory of the block's size; a failed page-in of that mapping is caught and
// reported as code 5.
//
// Entry names never leave the destination: every name is checked
// (IsSafeRelativePath) before anything is written, and an archive with one
// bad name fails with code 12 and writes nothing.
//
// Usage: Open(), set the observer, ExtractSevenZipArchive(), Close() (or let
// the destructor close). Files written before a failing entry stay on disk;
// the caller deletes the folder.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SEVEN_ZIP_ARCHIVE_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SEVEN_ZIP_ARCHIVE_READER_H_

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>

#include "7zTypes.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class PackageFetcherObserver;

// Results of SevenZipArchiveReader::Open.
enum SevenZipOpenResult {
  SEVEN_ZIP_OPEN_OK = 0,
  SEVEN_ZIP_OPEN_NOT_FOUND = 1,
  SEVEN_ZIP_OPEN_FAILED = 2,
};

// Results of ExtractSevenZipArchive.
enum SevenZipExtractResult {
  SEVEN_ZIP_OK = 0,
  SEVEN_ZIP_NOT_OPEN = 1,
  SEVEN_ZIP_ARCHIVE_OPEN_FAILED = 3,
  SEVEN_ZIP_DECODE_FAILED = 4,
  SEVEN_ZIP_IN_PAGE_ERROR = 5,
  SEVEN_ZIP_NO_NAME = 6,
  SEVEN_ZIP_CREATE_FILE_FAILED = 7,
  SEVEN_ZIP_WRITE_FAILED = 8,
  SEVEN_ZIP_SET_TIME_FAILED = 9,
  SEVEN_ZIP_CLOSE_FAILED = 10,
  SEVEN_ZIP_NO_SIGNATURE = 11,
  // An entry's name is not a plain relative path (IsSafeRelativePath).
  SEVEN_ZIP_UNSAFE_NAME = 12,
};

class SevenZipArchiveReader {
 public:
  SevenZipArchiveReader();
  SevenZipArchiveReader(const SevenZipArchiveReader&) = delete;
  SevenZipArchiveReader& operator=(const SevenZipArchiveReader&) = delete;
  ~SevenZipArchiveReader();

  // Opens |path| for reading (sharing read), closing an earlier file first;
  // the archive is looked for from |start| on (the offset of a package's
  // payload).
  SevenZipOpenResult Open(const base::FilePath& path, uint64_t start = 0);
  void Close();
  bool IsOpen() const { return file_.IsValid(); }

  // Told the entry count and the index of each entry as it is extracted. Not
  // owned; may be null.
  void set_observer(PackageFetcherObserver* observer) { observer_ = observer; }
  PackageFetcherObserver* observer() const { return observer_; }

  // The stream the decoder reads (valid while the reader is open).
  ISeekInStreamPtr stream() const { return &stream_; }
  HANDLE file() const { return file_.Get(); }
  // Where the search for the archive begins.
  uint64_t start() const { return start_; }

  // Creates |folder| with its parents unless this extraction already did.
  void CreateFolderOnce(const base::FilePath& folder);
  // Begins an extraction: the folders of an earlier one may be gone since.
  void ForgetCreatedFolders() { created_folders_.clear(); }

 private:
  struct Stream : ISeekInStream {
    SevenZipArchiveReader* reader;
  };
  static SRes Read(ISeekInStreamPtr stream, void* buffer, size_t* size);
  static SRes Seek(ISeekInStreamPtr stream, Int64* position, ESzSeek origin);

  base::win::ScopedHandle file_;
  uint64_t start_ = 0;
  std::set<std::wstring> created_folders_;
  PackageFetcherObserver* observer_ = nullptr;
  Stream stream_;
};

// Extracts every entry of the archive |reader| has open into |destination|.
// |last_path|, when given, receives the output path of the last entry
// reached. Logs the failing step at error level.
SevenZipExtractResult ExtractSevenZipArchive(SevenZipArchiveReader* reader,
                                             const base::FilePath& destination,
                                             base::FilePath* last_path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SEVEN_ZIP_ARCHIVE_READER_H_

// Free functions over the file system. Every function returns its outcome
// (bool, or -1 / empty for sizes) and logs nothing for expected conditions such
// as a missing file; the caller decides what a failure means. Paths are taken as
// given: relative paths resolve against the current directory.
//
// <windows.h> is included on purpose: several names here (CreateDirectory,
// DeleteFile, CopyFile, ReplaceFile) are macros there, and every translation
// unit must see the same spelling so that callers and definitions agree.

#ifndef BASE_FILES_FILE_UTIL_H_
#define BASE_FILES_FILE_UTIL_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/files/file.h"
#include "base/files/file_path.h"

namespace base {

// True when something (file or folder) exists at |path|.
bool PathExists(const FilePath& path);
// True when |path| exists and is a folder.
bool DirectoryExists(const FilePath& path);
// True when a file can be created in the folder |path| (or, for a file, when the
// file can be opened for writing). Creates and removes a probe file for folders.
bool PathIsWritable(const FilePath& path);

// Creates |full_path| and every missing parent. True when the folder exists
// afterwards (also when it already did). A file in the way is a failure.
bool CreateDirectory(const FilePath& full_path);
// As CreateDirectory; on failure |error| (optional) receives the Win32 error.
bool CreateDirectoryAndGetError(const FilePath& full_path, DWORD* error);

// Deletes one file or one empty folder. A path that does not exist counts as
// deleted (true). Read-only files are made writable first. A base name with
// wildcards ("Velto*.lnk") deletes every file that matches (folders are left).
// Paths of MAX_PATH characters or more are refused.
bool DeleteFile(const FilePath& path);
// Deletes a file, or a folder with everything below it (read-only entries
// included). A missing path counts as deleted. Symbolic links and junctions
// are removed without following them.
bool DeletePathRecursively(const FilePath& path);

// Copies one file, replacing an existing |to_path|. The copy keeps the data and
// attributes except the read-only bit; a read-only destination is replaced too.
// Paths holding a ".." component or of MAX_PATH characters or more are refused.
bool CopyFile(const FilePath& from_path, const FilePath& to_path);
// Copies what the folder |from_path| holds into the folder |to_path|, which is
// created when missing (so an absent |to_path| becomes a copy of |from_path|).
// Without |recursive| only the files directly inside are copied. Existing files
// are replaced. False when anything could not be copied (the rest is still
// tried) or when |to_path| lies inside |from_path|.
bool CopyDirectory(const FilePath& from_path, const FilePath& to_path, bool recursive);

// Moves a file or folder, replacing an existing destination file, also across
// volumes. A folder that cannot be renamed (another volume) is copied and the
// source deleted. Paths are refused as by CopyFile.
bool Move(const FilePath& from_path, const FilePath& to_path);
// Replaces |to_path| by |from_path| in one rename, the way an atomic update
// needs it. On failure |error| (optional) receives the Win32 error.
bool ReplaceFile(const FilePath& from_path, const FilePath& to_path, DWORD* error);

// Reads the whole file. With |contents| null only checks readability. False when
// the file cannot be read; |contents| then holds what was read so far.
bool ReadFileToString(const FilePath& path, std::string* contents);
// As above, but fails (keeping the first |max_size| bytes in |contents|) when
// the file is larger than |max_size|.
bool ReadFileToStringWithMaxSize(const FilePath& path, std::string* contents, size_t max_size);
// The same for a file already open for reading, from its current position.
bool ReadOpenFileToString(HANDLE file, std::string* contents, size_t max_size);

// Creates or truncates |path| and writes |data|. True only when every byte was
// written. Not atomic: see important_file_writer.h for that.
bool WriteFile(const FilePath& path, std::string_view data);
// Appends |data| to an existing file (which must exist). True when all was written.
bool AppendToFile(const FilePath& path, std::string_view data);

// Size in bytes of a file; false for folders and missing paths.
bool GetFileSize(const FilePath& path, int64_t* file_size);
// Size, kind, attributes and times of a file or folder.
bool GetFileInfo(const FilePath& path, File::Info* info);

// True when |path| is a folder holding nothing but "." and "..".
bool IsDirectoryEmpty(const FilePath& path);

// Creates a new empty file with a unique name in |dir|. |temp_file| receives
// its path.
bool CreateTemporaryFileInDir(const FilePath& dir, FilePath* temp_file);
// Creates a new folder with a unique name starting with |prefix| in the system
// temporary folder.
bool CreateNewTempDirectory(std::wstring_view prefix, FilePath* new_temp_path);
// As above, under |base_dir|.
bool CreateTemporaryDirInDir(const FilePath& base_dir, std::wstring_view prefix,
                             FilePath* new_dir);
// The system temporary folder (GetTempPathW), without a trailing separator.
bool GetTempDir(FilePath* path);

// The absolute form of |input| (GetFullPathNameW): ".." and "." resolved, the
// current directory prepended. Empty when the call fails. Does not need the
// path to exist.
FilePath MakeAbsoluteFilePath(const FilePath& input);
// The true path of an existing file or folder (links resolved, long names,
// the case stored on disk), without the "\\?\" prefix. False when |path| does
// not exist.
bool NormalizeFilePath(const FilePath& path, FilePath* real_path);
// The same for a file or folder already open as |file| (any access).
bool GetFinalPathFromHandle(HANDLE file, FilePath* real_path);
// Whether an existing component of |path|, from the first below the drive
// down to |path| itself, is a reparse point (a link, junction or mount
// point). The part that does not exist yet is not looked at.
bool PassesThroughReparsePoint(const FilePath& path);
// Whether the object open as |file| lies where the absolute |path| names it
// (either case, short names or a trailing separator in |path| allowed): a
// component changed into a link or junction between a check of the path and
// the open shows here. Where it lies goes into |opened| (empty when that
// cannot be told, which counts as elsewhere).
bool IsOpenAtPath(HANDLE file, const FilePath& path, FilePath* opened);

// True when both files exist and hold the same bytes.
bool ContentsEqual(const FilePath& filename1, const FilePath& filename2);

// Sets or clears FILE_ATTRIBUTE_READONLY, keeping the other attributes.
bool SetFileReadOnly(const FilePath& path, bool read_only);

}  // namespace base

#endif  // BASE_FILES_FILE_UTIL_H_

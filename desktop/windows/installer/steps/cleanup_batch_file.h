// CleanupBatchFile: the text of "k.bat", the self-deleting batch file an
// uninstallation leaves in the install folder. It waits until up to three
// installer processes have ended, then deletes the files and removes the
// (empty) folders the uninstallation could not remove while they were in use,
// and finally itself.
//
// Everything it deletes lies inside the install folder: files and folders
// outside it, or whose path cannot be quoted safely for the command processor,
// are refused and logged. Folders are collected with their ancestors up to and
// including the install folder, never above it; "rmdir" removes only empty
// folders, so a folder that still holds something stays.
//
// The batch file lies in the install folder and runs with that folder as its
// current folder (StartCleanupBatchFile): it names every path relative to it,
// so that the install folder's own name, whatever it holds, is never part of
// the text the command processor reads. Started from any other folder it ends
// at once. Each line is read in the OEM code page: a name below the install
// folder that the code page cannot hold is written as its short name; without
// one it is refused.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_BATCH_FILE_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_BATCH_FILE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"

namespace installer {

class CleanupBatchFile {
 public:
  explicit CleanupBatchFile(const base::FilePath& install_path);
  CleanupBatchFile(const CleanupBatchFile&) = delete;
  CleanupBatchFile& operator=(const CleanupBatchFile&) = delete;
  ~CleanupBatchFile();

  // The processes to wait for; 0 leaves a slot out (|first| is always waited
  // for).
  void SetProcessIds(uint32_t first, uint32_t second, uint32_t third);

  // A file to delete, in the order of the calls. False when refused.
  bool AddFile(const base::FilePath& file);
  // |folder| and its ancestors up to the install folder, for "rmdir" lines.
  // False when refused.
  bool AddFolderWithAncestors(const base::FilePath& folder);

  // The batch file's text, in the OEM code page, each line ended by a line
  // feed.
  std::string GetText() const;

  // What a batch file does: the processes it waits for (0: a slot left
  // out), then the files it deletes and the folders it removes, in its order
  // (full paths, the install folder itself among the folders).
  struct Contents {
    Contents();
    Contents(const Contents&);
    Contents& operator=(const Contents&);
    ~Contents();

    uint32_t process_ids[3] = {0, 0, 0};
    std::vector<base::FilePath> files;
    std::vector<base::FilePath> folders;
  };

  // Whether |text| is a batch file this writer makes for |install_path|: the
  // process ids, files and folders read back from it and written again give
  // |text| exactly. What it does goes to |*contents| when given. A batch file
  // that another program may have changed is acted on only when it passes
  // (an elevated process does nothing else).
  static bool Read(const base::FilePath& install_path, const std::string& text,
                   Contents* contents);
  static bool IsWrittenText(const base::FilePath& install_path, const std::string& text);

 private:
  // Whether |path| lies inside the install folder (or is it, with
  // |allow_install_path|) and can be written between double quotes.
  bool IsAcceptable(const base::FilePath& path, bool allow_install_path) const;
  // |path| (an acceptable one) as the batch names it, in double quotes;
  // false when it cannot be written.
  bool GetBatchPath(const base::FilePath& path, std::string* text) const;

  base::FilePath install_path_;
  uint32_t process_ids_[3] = {0, 0, 0};
  std::vector<std::string> files_;
  // By path, descending, so that inner folders come before their parents.
  std::map<std::wstring, std::string, std::greater<std::wstring>> folders_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_BATCH_FILE_H_

// Before the fetcher trusts a downloaded package or component installer it
// asks the program itself which build it is: the item must not be older than
// this installer and, for the package, must be of the same stream.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_ITEM_VERSION_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_ITEM_VERSION_H_

#include "base/files/file_path.h"

namespace installer {

class StatsScope;

// Runs |path| with "--internal-version" (and, when |check_stream|, with
// "--stream") and compares the answers with this build's number and stream;
// the answers go to |scope| (when given) as "internal_version" and "stream".
// An item that prints nothing, or something that is not a version, counts as
// older. The runs of all callers are serialized; each has a time limit and
// only the start of a long output is kept.
bool CheckDownloadedItemVersion(const base::FilePath& path, bool check_stream,
                                StatsScope* scope);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_ITEM_VERSION_H_

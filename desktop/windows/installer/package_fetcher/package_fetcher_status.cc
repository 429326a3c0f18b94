#include "desktop/windows/installer/package_fetcher/package_fetcher_status.h"

namespace installer {

std::string PackageFetcherStatusName(PackageFetcherStatus status) {
  switch (status) {
    case STATUS_PACKAGE_READY:
      return "package_ready";
    case STATUS_INITIALIZATION_FAILED:
      return "initialization_failed";
    case STATUS_DOWNLOAD_FAILED:
      return "download_failed";
    case STATUS_UNPACKING_FAILED:
      return "unpacking_failed";
    default:
      return "invalid";
  }
}

}  // namespace installer

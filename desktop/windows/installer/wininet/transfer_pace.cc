#include "desktop/windows/installer/wininet/transfer_pace.h"

namespace installer {

TransferPace::TransferPace(base::TimeDelta window, int64_t floor)
    : window_(window), floor_(floor) {}

void TransferPace::Start(base::TimeTicks now, int64_t bytes) {
  window_start_ = now;
  window_bytes_ = bytes;
  kept_up_ = false;
}

bool TransferPace::Record(base::TimeTicks now, int64_t bytes) {
  if (bytes - window_bytes_ >= floor_) {
    window_start_ = now;
    window_bytes_ = bytes;
    kept_up_ = true;
    return true;
  }
  return now - window_start_ < window_;
}

}  // namespace installer

// TransferPace: tells a reply that keeps coming from one that only drips. A
// server that sends a byte now and then never lets a read wait out the
// time-out, yet may take months to deliver a package; so a reply must bring
// at least |floor| bytes within each |window|, counted from its start and
// from each moment it has brought them. A reply that lets a window pass with
// less has stalled, as one that sends nothing at all has.
//
// Contract: Start at the beginning of each reply, then Record the reply's
// running byte count as bytes arrive, with the time of the arrival; counts
// never go down within one reply. Used on one thread at a time.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_TRANSFER_PACE_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_TRANSFER_PACE_H_

#include <cstdint>

#include "base/time/time.h"

namespace installer {

class TransferPace {
 public:
  TransferPace(base::TimeDelta window, int64_t floor);

  void set_window(base::TimeDelta window) { window_ = window; }
  void set_floor(int64_t floor) { floor_ = floor; }
  base::TimeDelta window() const { return window_; }
  int64_t floor() const { return floor_; }

  // A reply begins at |now| with |bytes| counted so far.
  void Start(base::TimeTicks now, int64_t bytes);
  // The reply has brought |bytes| (in all) by |now|. False when a window has
  // passed with less than the floor: the reply has stalled.
  bool Record(base::TimeTicks now, int64_t bytes);
  // True once the reply has brought the floor within a window: what it
  // delivers comes at a pace worth waiting for.
  bool kept_up() const { return kept_up_; }

 private:
  base::TimeDelta window_;
  int64_t floor_;
  // The start of the current window and the count then.
  base::TimeTicks window_start_;
  int64_t window_bytes_ = 0;
  bool kept_up_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_TRANSFER_PACE_H_

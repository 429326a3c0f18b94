// MailslotWriter: the client end of a mailslot, writing queued messages one at
// a time with overlapped I/O completed through the I/O thread's completion
// port. Lives on, and is used only on, a MessageLoopForIO thread.
//
// Messages go out in the order queued. A write the system refuses at once is
// logged and its message stays at the head of the queue, to be tried again
// when the next message is queued. Destruction lets a write still in flight
// finish and then writes the rest of the queue at once, so that the last
// messages of a run are not lost; only messages the mailslot refuses then are
// dropped (and counted in the log).

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_

#include <windows.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "base/message_loop/message_loop_for_io.h"
#include "base/pickle.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotWriter : public base::MessageLoopForIO::IOHandler {
 public:
  // Opens the existing mailslot |path| and registers it with the current
  // thread's I/O loop. Null, with the reason logged, on failure.
  static std::unique_ptr<MailslotWriter> Open(const std::wstring& path);

  MailslotWriter(const MailslotWriter&) = delete;
  MailslotWriter& operator=(const MailslotWriter&) = delete;
  ~MailslotWriter() override;

  // Queues |message| and writes it when no write is in flight.
  void Write(base::Pickle message);

  // Messages queued and not yet written, the one in flight included.
  size_t queued_messages() const { return queue_.size(); }
  bool write_pending() const { return pending_ != nullptr; }

  // base::MessageLoopForIO::IOHandler:
  void OnIOCompleted(base::MessageLoopForIO::IOContext* context, DWORD bytes_transferred,
                     DWORD error) override;

 private:
  MailslotWriter(const std::wstring& path, base::win::ScopedHandle mailslot);

  // Starts writing the head of the queue.
  void WriteNext();

  // Writes the queue synchronously, in order, until one write fails.
  void WriteQueueNow();

  const std::wstring path_;
  base::win::ScopedHandle mailslot_;
  std::deque<base::Pickle> queue_;
  // The context of the write in flight; null when none.
  std::unique_ptr<base::MessageLoopForIO::IOContext> pending_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_

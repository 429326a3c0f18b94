// MailslotReader: the server end of a mailslot, reading one message at a time
// on the thread that created it and handing each to a callback there.
//
// Reads are synchronous with the mailslot's own read time-out (kReadTimeout):
// each read task waits at most that long and then posts the next one, so the
// thread keeps running its other tasks between reads and destroying the
// reader ends the reading within one time-out. (Overlapped reads completed
// through an I/O completion port would need no time-out, but Wine can neither
// attach a mailslot to a port nor cancel a blocked mailslot read; this one
// design behaves the same on Windows and Wine.)
//
// A message is passed on only when its bytes hold a whole pickle (header and
// the payload size it announces); empty and cut-short messages are dropped.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/functional/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/pickle.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotReader {
 public:
  using MessageCallback = base::RepeatingCallback<void(base::Pickle)>;

  // How long one read waits for a message, in milliseconds.
  static constexpr DWORD kReadTimeout = 50;

  // Creates the mailslot |path| (messages of at most kMailslotMaxMessageSize
  // bytes) with the access list of KernelObjectSecurity. Null, with the
  // reason logged, when it cannot be created (for instance because another
  // reader owns that name).
  static std::unique_ptr<MailslotReader> Create(const std::wstring& path,
                                                MessageCallback on_message);

  MailslotReader(const MailslotReader&) = delete;
  MailslotReader& operator=(const MailslotReader&) = delete;
  ~MailslotReader();

  // Starts reading on the current thread's message loop.
  void Start();
  // Reads, on this thread and at once, what is already in the mailslot, up
  // to the first read that finds nothing; for when no writer is left.
  void ReadWaiting();

  // The mailslot's server handle (to read its security).
  HANDLE handle() const { return mailslot_.Get(); }

 private:
  enum ReadResult { READ_SOMETHING, READ_NOTHING, READ_FAILED };

  MailslotReader(base::win::ScopedHandle mailslot, MessageCallback on_message);

  // One read; posts the next unless reading has failed for good.
  void Read();
  // One read, waiting at most the read time-out.
  ReadResult ReadOne();

  base::win::ScopedHandle mailslot_;
  MessageCallback on_message_;
  std::vector<char> buffer_;
  base::WeakPtrFactory<MailslotReader> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_

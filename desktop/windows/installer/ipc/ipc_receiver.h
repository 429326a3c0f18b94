// IpcReceiver: the front end's end of the one-way mailslot channel from the
// back end. Connect creates the mailslot and starts the receiver's own
// "Installer IPC thread", which reads it (see MailslotReader); every message
// read is handed to the delegate on the thread that created the receiver, in
// the order received. Nothing reaches the delegate after Close or destruction.
// When the mailslot cannot be created Connect fails, so that no writer is
// started for a channel that would never be read.
//
// Close (and the destructor) closes the mailslot on the IPC thread and joins
// it; it returns within about one read time-out even when no message comes.
// CloseWhenRead closes and joins too, but only after what is in the mailslot
// has been read, and still delivers that afterwards: for when no writer is
// left, so that the mailslot's name is free for others on return while the
// receiver lives on.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_

#include <memory>
#include <string>

#include "base/memory/weak_ptr.h"
#include "base/pickle.h"
#include "base/task/single_thread_task_runner.h"
#include "base/threading/thread.h"

namespace installer {

class MailslotReader;

class IpcReceiver {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    // One message from the mailslot, on the receiver's creating thread.
    virtual void HandleMessage(const base::Pickle& message) = 0;
  };

  // |delegate| must outlive the receiver's connection.
  explicit IpcReceiver(Delegate* delegate);
  IpcReceiver(const IpcReceiver&) = delete;
  IpcReceiver& operator=(const IpcReceiver&) = delete;
  ~IpcReceiver();

  // Creates the mailslot |name| (the part after "\\.\mailslot\") and starts
  // the IPC thread reading it. False, with the reason logged, when the thread
  // cannot start or the mailslot cannot be created. Must be called on a
  // thread with a message loop (the replies go there).
  bool Connect(const std::wstring& name);

  // Closes the mailslot on the IPC thread and joins it. Safe to call twice.
  void Close();
  // Has the IPC thread read what is in the mailslot, then close it, and
  // joins it; the messages read still reach the delegate, later, on this
  // thread.
  void CloseWhenRead();

  // IPC thread: passes |message| on to the creating thread.
  void OnMessageReceived(base::Pickle message);

 private:
  void StartOnIpcThread(std::unique_ptr<MailslotReader> reader);
  void CloseOnIpcThread();
  void CloseWhenReadOnIpcThread();
  // Creating thread.
  void DeliverMessage(base::Pickle message);

  base::Thread ipc_thread_;
  scoped_refptr<base::SingleThreadTaskRunner> owner_task_runner_;
  // IPC thread only; null until the mailslot exists.
  std::unique_ptr<MailslotReader> reader_;
  Delegate* const delegate_;
  // Made on the creating thread by Connect, copied by the IPC thread.
  base::WeakPtr<IpcReceiver> weak_this_;
  base::WeakPtrFactory<IpcReceiver> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_

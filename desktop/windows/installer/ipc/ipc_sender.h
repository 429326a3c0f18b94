// IpcSender: the back end's end of the one-way mailslot channel to the front
// end. Connect starts the sender's own "Installer IPC thread", which opens the
// mailslot and writes every message handed to Send, in order, without ever
// blocking the caller. Used from the thread that created it.
//
// A message larger than the mailslot's limit (kMailslotMaxMessageSize) could
// never be written and would hold up every later one, so Send refuses it at
// once with an error log. When the mailslot cannot be opened every message is
// dropped. Close (and the destructor) writes every message sent before it,
// closes the mailslot and stops the thread; only messages the mailslot refuses
// are dropped (and counted in the log).

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_

#include <memory>
#include <string>

#include "base/pickle.h"
#include "base/threading/thread.h"

namespace installer {

class MailslotWriter;

class IpcSender {
 public:
  IpcSender();
  IpcSender(const IpcSender&) = delete;
  IpcSender& operator=(const IpcSender&) = delete;
  ~IpcSender();

  // Starts the IPC thread and has it open the mailslot |name| (the part after
  // "\\.\mailslot\"). False only when the thread cannot start; a mailslot that
  // cannot be opened is logged on the thread.
  bool Connect(const std::wstring& name);

  // Hands |message| to the IPC thread for writing.
  void Send(base::Pickle message);

  // Closes the mailslot on the IPC thread and joins it. Safe to call twice.
  void Close();

 private:
  void ConnectOnIpcThread(const std::wstring& path);
  void SendOnIpcThread(base::Pickle message);
  void CloseOnIpcThread();

  base::Thread ipc_thread_;
  // IPC thread only; null until the mailslot is open.
  std::unique_ptr<MailslotWriter> writer_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_

#include "desktop/windows/installer/ipc/mailslot_reader.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/task/single_thread_task_runner.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/service/kernel_object_security.h"

namespace installer {

std::unique_ptr<MailslotReader> MailslotReader::Create(const std::wstring& path,
                                                       MessageCallback on_message) {
  VLOG(1) << "Creating mailslot " << path;
  // Only this user and the administrators (the elevated copy may run as
  // another one) may write to it.
  KernelObjectSecurity security;
  if (!security.IsValid())
    return nullptr;
  HANDLE mailslot = CreateMailslotW(path.c_str(), kMailslotMaxMessageSize, kReadTimeout,
                                    security.GetAttributes(false));
  if (mailslot == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Failed creating " << path;
    return nullptr;
  }
  return std::unique_ptr<MailslotReader>(
      new MailslotReader(base::win::ScopedHandle(mailslot), std::move(on_message)));
}

MailslotReader::MailslotReader(base::win::ScopedHandle mailslot, MessageCallback on_message)
    : mailslot_(std::move(mailslot)),
      on_message_(std::move(on_message)),
      buffer_(kMailslotMaxMessageSize) {}

MailslotReader::~MailslotReader() {
  VLOG(1) << "Closing mailslot";
}

void MailslotReader::Start() {
  base::SingleThreadTaskRunner::GetCurrentDefault()->PostTask(
      FROM_HERE, base::BindOnce(&MailslotReader::Read, weak_factory_.GetWeakPtr()));
}

void MailslotReader::Read() {
  if (ReadOne() != READ_FAILED)
    Start();
}

void MailslotReader::ReadWaiting() {
  while (ReadOne() == READ_SOMETHING) {
  }
}

MailslotReader::ReadResult MailslotReader::ReadOne() {
  DWORD bytes_read = 0;
  if (ReadFile(mailslot_.Get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &bytes_read,
               nullptr)) {
    if (bytes_read > 0) {
      base::Pickle message(buffer_.data(), bytes_read);
      if (message.IsValid())
        on_message_.Run(std::move(message));
      else
        LOG(WARNING) << "Dropping a mailslot message of " << bytes_read
                     << " bytes that holds no whole message";
    }
    return READ_SOMETHING;
  }
  const DWORD error = GetLastError();
  // ERROR_SEM_TIMEOUT: nothing arrived within the time-out. Wine reports an
  // empty message as ERROR_BROKEN_PIPE (and consumes it) where Windows reads
  // zero bytes; it must not end the reading for good.
  if (error == ERROR_SEM_TIMEOUT)
    return READ_NOTHING;
  if (error == ERROR_BROKEN_PIPE)
    return READ_SOMETHING;
  PLOG(ERROR) << "Cannot read from mailslot";
  return READ_FAILED;
}

}  // namespace installer

#include "desktop/windows/installer/ipc/mailslot_writer.h"

#include <utility>

#include "base/logging.h"

namespace installer {

std::unique_ptr<MailslotWriter> MailslotWriter::Open(const std::wstring& path) {
  VLOG(1) << "Opening mailslot " << path;
  base::win::ScopedHandle mailslot(CreateFileW(path.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING,
                                               FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
  if (!mailslot.IsValid()) {
    PLOG(ERROR) << "Failed opening " << path;
    return nullptr;
  }
  std::unique_ptr<MailslotWriter> writer(new MailslotWriter(std::move(mailslot)));
  base::MessageLoopForIO* loop = base::MessageLoopForIO::current();
  if (!loop || !loop->RegisterIOHandler(writer->mailslot_.Get(), writer.get())) {
    LOG(ERROR) << "Failed opening " << path << ": cannot watch its writes";
    return nullptr;
  }
  return writer;
}

MailslotWriter::MailslotWriter(base::win::ScopedHandle mailslot)
    : mailslot_(std::move(mailslot)) {}

MailslotWriter::~MailslotWriter() {
  VLOG(1) << "Closing mailslot.";
  if (pending_) {
    VLOG(1) << "I/O still pending on mailslot.";
    CancelIo(mailslot_.Get());
    // Let the operation finish before its buffer (the queue's head) goes.
    DWORD bytes = 0;
    GetOverlappedResult(mailslot_.Get(), &pending_->overlapped, &bytes, TRUE);
  }
  mailslot_.Close();
  if (pending_) {
    // Its completion packet is still on its way through the port: the port
    // drops it for a context without handler, which must stay allocated.
    pending_->handler = nullptr;
    (void)pending_.release();
  }
  VLOG(1) << "Messages unsent: " << queue_.size();
}

void MailslotWriter::Write(base::Pickle message) {
  queue_.push_back(std::move(message));
  if (!pending_)
    WriteNext();
}

void MailslotWriter::WriteNext() {
  if (queue_.empty())
    return;
  const base::Pickle& message = queue_.front();
  auto context = std::make_unique<base::MessageLoopForIO::IOContext>();
  context->overlapped = {};
  context->handler = this;
  if (!WriteFile(mailslot_.Get(), message.data(), static_cast<DWORD>(message.size()), nullptr,
                 &context->overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    PLOG(ERROR) << "Cannot write to mailslot";
    return;
  }
  pending_ = std::move(context);
}

void MailslotWriter::OnIOCompleted(base::MessageLoopForIO::IOContext* context,
                                   DWORD bytes_transferred, DWORD error) {
  if (context != pending_.get())
    return;
  pending_.reset();
  if (error)
    LOG(ERROR) << "Cannot write to mailslot: system error " << error;
  queue_.pop_front();
  WriteNext();
}

}  // namespace installer

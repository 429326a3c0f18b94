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
  std::unique_ptr<MailslotWriter> writer(new MailslotWriter(path, std::move(mailslot)));
  base::MessageLoopForIO* loop = base::MessageLoopForIO::current();
  if (!loop || !loop->RegisterIOHandler(writer->mailslot_.Get(), writer.get())) {
    LOG(ERROR) << "Failed opening " << path << ": cannot watch its writes";
    return nullptr;
  }
  return writer;
}

MailslotWriter::MailslotWriter(const std::wstring& path, base::win::ScopedHandle mailslot)
    : path_(path), mailslot_(std::move(mailslot)) {}

MailslotWriter::~MailslotWriter() {
  VLOG(1) << "Closing mailslot.";
  size_t unsent = 0;
  if (pending_) {
    VLOG(1) << "I/O still pending on mailslot.";
    // A mailslot write never waits for the reader, so this returns at once.
    DWORD bytes = 0;
    if (!GetOverlappedResult(mailslot_.Get(), &pending_->overlapped, &bytes, TRUE)) {
      PLOG(ERROR) << "Cannot write to mailslot";
      ++unsent;
    }
    queue_.pop_front();
    // Its completion packet is still on its way through the port, which drops
    // it for a context without handler; the context must stay allocated.
    pending_->handler = nullptr;
    (void)pending_.release();
  }
  mailslot_.Close();
  // The last messages of a run (its error or success) are usually still
  // queued here; they are written rather than lost.
  if (!queue_.empty())
    WriteQueueNow();
  unsent += queue_.size();
  VLOG(1) << "Messages unsent: " << unsent;
}

void MailslotWriter::WriteQueueNow() {
  // A handle of its own, outside the completion port, so that these writes
  // finish before the port's thread goes away.
  base::win::ScopedHandle mailslot(CreateFileW(path_.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!mailslot.IsValid()) {
    PLOG(ERROR) << "Failed opening " << path_;
    return;
  }
  while (!queue_.empty()) {
    const base::Pickle& message = queue_.front();
    DWORD written = 0;
    if (!WriteFile(mailslot.Get(), message.data(), static_cast<DWORD>(message.size()), &written,
                   nullptr)) {
      PLOG(ERROR) << "Cannot write to mailslot";
      return;
    }
    queue_.pop_front();
  }
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

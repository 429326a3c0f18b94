#include "desktop/windows/installer/ipc/installer_message.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/installer_observer.h"

namespace installer {

namespace {

constexpr size_t RoundUp4(size_t size) {
  return (size + 3) & ~static_cast<size_t>(3);
}

// Header, signature (length and 20 padded bytes) and type.
constexpr size_t kFixedSize = base::Pickle::kHeaderSize + 4 + RoundUp4(sizeof(InstallerMessage::kSignature) - 1) + 4;
static_assert(kFixedSize == 32, "the signature and type end at offset 32");

// Longest prefix of |text| of at most |max_bytes| bytes that does not split a
// UTF-8 sequence.
std::string ShortenUtf8(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes)
    return text;
  size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return text.substr(0, end);
}

// Longest prefix of |text| of at most |max_units| UTF-16 units that does not
// split a surrogate pair.
std::wstring ShortenUtf16(const std::wstring& text, size_t max_units) {
  if (text.size() <= max_units)
    return text;
  size_t end = max_units;
  if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
    --end;
  return text.substr(0, end);
}

}  // namespace

InstallerMessage::InstallerMessage(InstallerMessageType type, int number, std::wstring detail,
                                   std::string text)
    : type_(type), number_(number), detail_(std::move(detail)), text_(std::move(text)) {}

InstallerMessage InstallerMessage::StartingNewMainProcess(int process_id) {
  return InstallerMessage(IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS, process_id, {}, {});
}

InstallerMessage InstallerMessage::ReturnedToPreviousMainProcess() {
  return InstallerMessage(IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS, 0, {}, {});
}

InstallerMessage InstallerMessage::ImportantEvent() {
  return InstallerMessage(IPC_MESSAGE_IMPORTANT_EVENT, 0, {}, {});
}

InstallerMessage InstallerMessage::TotalSteps(int total_steps) {
  return InstallerMessage(IPC_MESSAGE_TOTAL_STEPS, total_steps, {}, {});
}

InstallerMessage InstallerMessage::Step() {
  return InstallerMessage(IPC_MESSAGE_STEP, 0, {}, {});
}

InstallerMessage InstallerMessage::FileCopyRetry(const std::string& file) {
  return InstallerMessage(IPC_FILE_COPY_RETRY, 0, {}, file);
}

InstallerMessage InstallerMessage::Error(int error_code, const std::wstring& detail,
                                         const std::string& message) {
  return InstallerMessage(IPC_MESSAGE_ERROR, error_code, detail, message);
}

InstallerMessage InstallerMessage::Success() {
  return InstallerMessage(IPC_MESSAGE_SUCCESS, 0, {}, {});
}

base::Pickle InstallerMessage::BeginPickle(InstallerMessageType type) {
  base::Pickle pickle;
  pickle.WriteString(kSignature);
  pickle.WriteInt(type);
  return pickle;
}

base::Pickle InstallerMessage::ToPickle() const {
  base::Pickle pickle = BeginPickle(type_);
  switch (type_) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
    case IPC_MESSAGE_TOTAL_STEPS:
      pickle.WriteInt(number_);
      break;
    case IPC_FILE_COPY_RETRY: {
      // Room for the string's length field and its padded bytes.
      const size_t room = kMaxSize - kFixedSize - 4;
      std::string file = ShortenUtf8(text_, room);
      if (file.size() < text_.size())
        LOG(WARNING) << "Shortening the file of a copy retry message to " << file.size()
                     << " bytes to fit the mailslot";
      pickle.WriteString(file);
      break;
    }
    case IPC_MESSAGE_ERROR: {
      // Room for both texts' padded bytes after the code and two length fields.
      const size_t room = kMaxSize - kFixedSize - 3 * 4;
      const size_t half = (room / 2) & ~static_cast<size_t>(3);
      size_t detail_bytes = RoundUp4(detail_.size() * 2);
      size_t text_bytes = RoundUp4(text_.size());
      if (detail_bytes + text_bytes > room) {
        // A short text keeps all of itself and leaves the rest to the other.
        if (detail_bytes <= half) {
          text_bytes = room - detail_bytes;
        } else if (text_bytes <= half) {
          detail_bytes = room - text_bytes;
        } else {
          detail_bytes = half;
          text_bytes = room - half;
        }
        LOG(WARNING) << "Shortening the texts of an error message to fit the mailslot";
      }
      pickle.WriteInt(number_);
      pickle.WriteString16(ShortenUtf16(detail_, detail_bytes / 2));
      pickle.WriteString(ShortenUtf8(text_, text_bytes));
      break;
    }
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
    case IPC_MESSAGE_IMPORTANT_EVENT:
    case IPC_MESSAGE_STEP:
    case IPC_MESSAGE_SUCCESS:
      break;
  }
  return pickle;
}

bool InstallerMessage::FromPickle(const base::Pickle& pickle, InstallerMessage* message) {
  base::PickleIterator iter(pickle);
  std::string signature;
  if (!iter.ReadString(&signature) || signature != kSignature) {
    LOG(WARNING) << "Received a message without installer signature";
    return false;
  }
  int type = -1;
  if (!iter.ReadInt(&type) || type < IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS ||
      type > IPC_MESSAGE_SUCCESS) {
    LOG(WARNING) << "Received installer message with invalid type";
    return false;
  }
  InstallerMessage result;
  result.type_ = static_cast<InstallerMessageType>(type);
  switch (result.type_) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      if (!iter.ReadInt(&result.number_)) {
        LOG(ERROR) << "Received invalid IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS" "message";
        return false;
      }
      VLOG(1) << "IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS(" << result.number_ << ") received";
      break;
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
      VLOG(1) << "IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS received";
      break;
    case IPC_MESSAGE_IMPORTANT_EVENT:
      break;
    case IPC_MESSAGE_TOTAL_STEPS:
      if (!iter.ReadInt(&result.number_)) {
        LOG(ERROR) << "Received invalid IPC_MESSAGE_TOTAL_STEPS message";
        return false;
      }
      VLOG(1) << "IPC_MESSAGE_TOTAL_STEPS(" << result.number_ << ") received";
      break;
    case IPC_MESSAGE_STEP:
      VLOG(1) << "IPC_MESSAGE_STEP received";
      break;
    case IPC_FILE_COPY_RETRY:
      // Dropped without a word: a retry only feeds a statistic.
      if (!iter.ReadString(&result.text_))
        return false;
      break;
    case IPC_MESSAGE_ERROR:
      if (!iter.ReadInt(&result.number_) || !iter.ReadString16(&result.detail_) ||
          !iter.ReadString(&result.text_)) {
        LOG(ERROR) << "Received invalid IPC_MESSAGE_ERROR message";
        return false;
      }
      VLOG(1) << "IPC_MESSAGE_ERROR(" << result.number_ << ") received";
      break;
    case IPC_MESSAGE_SUCCESS:
      VLOG(1) << "IPC_MESSAGE_SUCCESS received";
      break;
  }
  *message = std::move(result);
  return true;
}

void InstallerMessage::Notify(InstallerObserver* observer) const {
  switch (type_) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      observer->OnStartingNewMainProcess(number_);
      break;
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
      observer->OnReturnedToPreviousMainProcess();
      break;
    case IPC_MESSAGE_IMPORTANT_EVENT:
      observer->OnImportantEvent();
      break;
    case IPC_MESSAGE_TOTAL_STEPS:
      observer->OnTotalSteps(number_);
      break;
    case IPC_MESSAGE_STEP:
      observer->OnStep();
      break;
    case IPC_FILE_COPY_RETRY:
      observer->OnFileCopyRetry(text_);
      break;
    case IPC_MESSAGE_ERROR:
      observer->OnError(number_, detail_, text_);
      break;
    case IPC_MESSAGE_SUCCESS:
      observer->OnSuccess();
      break;
  }
}

}  // namespace installer

// InstallerMessage: one installer event as it travels from the back end to the
// front end in a single mailslot message. The wire form is a base::Pickle
// holding the string ":Installer message:", the InstallerMessageType as an int
// and the type's payload:
//   STARTING_NEW_MAIN_PROCESS, TOTAL_STEPS ..... int
//   FILE_COPY_RETRY ............................. string (UTF-8)
//   ERROR ........................................ int code, string16 detail, string message
//   the others ................................... nothing
// ToPickle always yields at most kMaxSize bytes, the mailslot's message limit:
// texts that would not fit are shortened (on a character boundary) so that
// every event, above all the final error, reaches the front end.
// FromPickle accepts only a well-formed message; anything else is logged and
// refused, so a malformed message never reaches an observer.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_

#include <cstddef>
#include <string>

#include "base/pickle.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"

namespace installer {

class InstallerObserver;

enum InstallerMessageType : int {
  IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS = 0,
  IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS = 1,
  IPC_MESSAGE_IMPORTANT_EVENT = 2,
  IPC_MESSAGE_TOTAL_STEPS = 3,
  IPC_MESSAGE_STEP = 4,
  IPC_FILE_COPY_RETRY = 5,
  IPC_MESSAGE_ERROR = 6,
  IPC_MESSAGE_SUCCESS = 7,
};

class InstallerMessage {
 public:
  static constexpr char kSignature[] = ":Installer message:";
  // The largest message the receiving mailslot accepts, in bytes.
  static constexpr size_t kMaxSize = kMailslotMaxMessageSize;

  static InstallerMessage StartingNewMainProcess(int process_id);
  static InstallerMessage ReturnedToPreviousMainProcess();
  static InstallerMessage ImportantEvent();
  static InstallerMessage TotalSteps(int total_steps);
  static InstallerMessage Step();
  static InstallerMessage FileCopyRetry(const std::string& file);
  static InstallerMessage Error(int error_code, const std::wstring& detail,
                                const std::string& message);
  static InstallerMessage Success();

  // A pickle holding the signature and |type| only, for a caller that appends
  // a payload of its own.
  static base::Pickle BeginPickle(InstallerMessageType type);

  // Reads a received message. False, with the reason logged and |*message|
  // untouched, when the signature is missing or wrong, the type is missing or
  // unknown, or the type's payload cannot be read.
  static bool FromPickle(const base::Pickle& pickle, InstallerMessage* message);

  InstallerMessage() = default;

  // The wire form, never larger than kMaxSize (see the header comment).
  base::Pickle ToPickle() const;

  // Makes the observer call this message stands for.
  void Notify(InstallerObserver* observer) const;

  InstallerMessageType type() const { return type_; }
  // The process id, the number of steps or the error code.
  int number() const { return number_; }
  const std::wstring& detail() const { return detail_; }
  // The file of a copy retry, or the error message.
  const std::string& text() const { return text_; }

 private:
  InstallerMessage(InstallerMessageType type, int number, std::wstring detail, std::string text);

  InstallerMessageType type_ = IPC_MESSAGE_SUCCESS;
  int number_ = 0;
  std::wstring detail_;
  std::string text_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_

// The sink of a download's response bytes. The base class accepts and drops
// every byte (the statistics post keeps no reply); subclasses keep them in a
// file or a string. Write is called from the thread that handles the request's
// completion, one call at a time; Finish when the downloader closes its
// session.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_RESPONSE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_RESPONSE_WRITER_H_

#include <windows.h>

#include <cstdint>

namespace installer {

class ResponseWriter {
 public:
  ResponseWriter() = default;
  ResponseWriter(const ResponseWriter&) = delete;
  ResponseWriter& operator=(const ResponseWriter&) = delete;
  virtual ~ResponseWriter() = default;

  // False when the bytes could not be kept; last_error() then says why.
  virtual bool Write(const char* data, uint32_t length);
  virtual void Finish();
  // Drops everything written so far: a download that has to start over from
  // the first byte must not append to what an earlier reply delivered.
  virtual bool Rewind();

  // The system error of the last refused operation; 0 when none was refused.
  DWORD last_error() const { return last_error_; }

 protected:
  void set_last_error(DWORD error) { last_error_ = error; }

 private:
  DWORD last_error_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_RESPONSE_WRITER_H_

// XmlInstallationStatusReader: reads the legacy XML status documents (root
// element "install_log") left by installations that predate the JSON status
// file, and the former engine's install log, which shares their format. The
// document is walked in its fixed element order; the first deviation ends the
// read with its error text. Needs COM initialised on the calling thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_INSTALLATION_STATUS_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_INSTALLATION_STATUS_READER_H_

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/installation_status_reader.h"
#include "desktop/windows/installer/service/xml_document.h"

namespace installer {

class XmlInstallationStatusReader : public InstallationStatusReader {
 public:
  XmlInstallationStatusReader();
  XmlInstallationStatusReader(const XmlInstallationStatusReader&) = delete;
  XmlInstallationStatusReader& operator=(const XmlInstallationStatusReader&) = delete;
  ~XmlInstallationStatusReader() override;

  // InstallationStatusReader:
  std::unique_ptr<InstallationStatus> Read(const std::string& contents,
                                           InstallationStatusSource source) override;
  const std::string& GetError() const override;

 private:
  // Each step reads the element under the cursor (ReadRoot and ReadPath first
  // move to it) and leaves the cursor on that element; on failure it sets
  // |error_| and returns false.
  bool ReadRoot(InstallationStatus* status);
  bool ReadPath(InstallationStatus* status);
  bool ReadRegistryElement(InstallationStatus* status);
  bool ReadRegistryKey(InstallationStatus::RegistryKey* key);
  bool ReadShortcut(InstallationStatus* status);
  // Also checks that nothing follows the components.
  bool ReadComponents(InstallationStatus* status);

  struct FileListTexts;
  // The "file" children of the current element, appended to |files|.
  bool ReadFileElements(const FileListTexts& texts, std::vector<std::wstring>* files);

  // Sets |error_|; returns false.
  bool Fail(const std::string& error);

  std::unique_ptr<XmlDocument> document_;
  std::string error_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_INSTALLATION_STATUS_READER_H_

// XmlDocument: a cursor over an XML document held by the Windows XML DOM
// (MSXML DOMDocument 3.0, in process through COM). The cursor moves between
// elements only: text, white space, comments and processing instructions
// between elements are skipped. Every move reports whether it moved, found no
// such element, or met a DOM failure; in the last two cases the cursor stays.
//
// Narrow texts crossing this class are UTF-8 in both directions. COM must be
// initialised on the calling thread; the object is used on that thread only.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_DOCUMENT_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_DOCUMENT_H_

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>

namespace installer {

class XmlDocument {
 public:
  enum MoveResult {
    MOVED = 0,       // the current node changed
    NO_ELEMENT = 1,  // there is no such element
    FAILED = 2,      // the DOM reported an error
  };

  XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  ~XmlDocument();

  // Parses |text| (no validation, no external resources) and puts the cursor
  // on the document node. On failure |error| gets the reason with the DOM's
  // result code and the document stays unusable.
  bool LoadFromString(const std::string& text, std::string* error);

  // The first element among the current node's children.
  MoveResult MoveToFirstChild();
  // The first element among the following siblings.
  MoveResult MoveToNextSibling();
  // The parent, when it is an element (the document node is not).
  MoveResult MoveToParent();

  bool GetNodeName(std::string* name) const;
  // The text of the current node and its descendants.
  bool GetText(std::string* text) const;
  // True only when the current node is an element with the attribute |name|;
  // values of other types are converted to text.
  bool GetAttribute(const std::string& name, std::string* value) const;

 private:
  // From |node| on (inclusive when |include_start|), along the siblings, the
  // first element; made current when found.
  MoveResult MoveToElementFrom(Microsoft::WRL::ComPtr<IXMLDOMNode> node, bool include_start);

  Microsoft::WRL::ComPtr<IXMLDOMDocument> document_;
  Microsoft::WRL::ComPtr<IXMLDOMNode> current_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_XML_DOCUMENT_H_

#include "desktop/windows/installer/service/xml_document.h"

#include <utility>

#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"

namespace installer {

namespace {

using Microsoft::WRL::ComPtr;

// DOMDocument 3.0; the import libraries carry no symbol for it.
constexpr CLSID kDomDocument30Clsid = {
    0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};

std::string ErrorWithCode(const char* text, HRESULT hr) {
  return text + std::to_string(static_cast<long>(hr));
}

// |bstr| as UTF-8; a null BSTR is the empty string.
std::string BstrToUTF8(BSTR bstr) {
  return bstr ? base::WideToUTF8(std::wstring_view(bstr, ::SysStringLen(bstr))) : std::string();
}

}  // namespace

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;

bool XmlDocument::LoadFromString(const std::string& text, std::string* error) {
  current_.Reset();
  document_.Reset();

  ComPtr<IXMLDOMDocument> document;
  HRESULT hr = ::CoCreateInstance(kDomDocument30Clsid, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.GetAddressOf()));
  if (FAILED(hr)) {
    *error = ErrorWithCode("Cannot create the XML document w/err ", hr);
    return false;
  }
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);

  base::win::ScopedBstr xml(base::UTF8ToWide(text));
  if (!xml.Get()) {
    *error = ErrorWithCode("Cannot load the document from string w/err ", E_OUTOFMEMORY);
    return false;
  }
  VARIANT_BOOL loaded = VARIANT_FALSE;
  hr = document->loadXML(xml.Get(), &loaded);
  if (hr != S_OK || loaded != VARIANT_TRUE) {
    // A malformed text comes back as S_FALSE without a failure code.
    *error = ErrorWithCode("Cannot load the document from string w/err ",
                           FAILED(hr) ? hr : S_FALSE);
    return false;
  }

  ComPtr<IXMLDOMNode> node;
  hr = document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf()));
  if (FAILED(hr) || !node) {
    *error = ErrorWithCode("Cannot query current node w/err ", hr);
    return false;
  }
  document_ = std::move(document);
  current_ = std::move(node);
  return true;
}

XmlDocument::MoveResult XmlDocument::MoveToElementFrom(ComPtr<IXMLDOMNode> node,
                                                       bool include_start) {
  bool check = include_start;
  while (node) {
    if (check) {
      DOMNodeType type = NODE_INVALID;
      if (FAILED(node->get_nodeType(&type)))
        return FAILED;
      if (type == NODE_ELEMENT) {
        current_ = std::move(node);
        return MOVED;
      }
    }
    check = true;
    ComPtr<IXMLDOMNode> next;
    if (FAILED(node->get_nextSibling(next.GetAddressOf())))
      return FAILED;
    node = std::move(next);
  }
  return NO_ELEMENT;
}

XmlDocument::MoveResult XmlDocument::MoveToFirstChild() {
  if (!current_)
    return FAILED;
  ComPtr<IXMLDOMNode> child;
  if (FAILED(current_->get_firstChild(child.GetAddressOf())))
    return FAILED;
  return MoveToElementFrom(std::move(child), /*include_start=*/true);
}

XmlDocument::MoveResult XmlDocument::MoveToNextSibling() {
  if (!current_)
    return FAILED;
  return MoveToElementFrom(current_, /*include_start=*/false);
}

XmlDocument::MoveResult XmlDocument::MoveToParent() {
  if (!current_)
    return FAILED;
  ComPtr<IXMLDOMNode> parent;
  if (FAILED(current_->get_parentNode(parent.GetAddressOf())))
    return FAILED;
  if (!parent)
    return NO_ELEMENT;
  DOMNodeType type = NODE_INVALID;
  if (FAILED(parent->get_nodeType(&type)))
    return FAILED;
  if (type != NODE_ELEMENT)
    return NO_ELEMENT;
  current_ = std::move(parent);
  return MOVED;
}

bool XmlDocument::GetNodeName(std::string* name) const {
  if (!current_)
    return false;
  base::win::ScopedBstr bstr;
  if (FAILED(current_->get_nodeName(bstr.Receive())))
    return false;
  *name = BstrToUTF8(bstr.Get());
  return true;
}

bool XmlDocument::GetText(std::string* text) const {
  if (!current_)
    return false;
  base::win::ScopedBstr bstr;
  if (FAILED(current_->get_text(bstr.Receive())))
    return false;
  *text = BstrToUTF8(bstr.Get());
  return true;
}

bool XmlDocument::GetAttribute(const std::string& name, std::string* value) const {
  if (!current_)
    return false;
  ComPtr<IXMLDOMElement> element;
  if (FAILED(current_->QueryInterface(IID_IXMLDOMElement,
                                      reinterpret_cast<void**>(element.GetAddressOf()))) ||
      !element) {
    return false;
  }
  base::win::ScopedBstr bstr_name(base::UTF8ToWide(name));
  if (!bstr_name.Get())
    return false;
  base::win::ScopedVariant variant;
  // S_FALSE with VT_NULL stands for a missing attribute.
  if (element->getAttribute(bstr_name.Get(), variant.Receive()) != S_OK)
    return false;
  if (variant.type() != VT_BSTR) {
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, const_cast<VARIANT*>(variant.ptr()), 0, VT_BSTR)))
      return false;
    variant.Reset(converted);
  }
  *value = BstrToUTF8(variant.get().bstrVal);
  return true;
}

}  // namespace installer

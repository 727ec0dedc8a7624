// XmlLite's reader over a document pushed to it in memory: the COM plumbing
// the XmlLite backend (xml_parser_xmllite.cpp) needs and nothing of its event
// loop. mingw-w64 has no import library for xmllite.dll, so CreateXmlReader
// is looked up at run time (the DLL is part of every supported Windows).
#ifndef PEGASUS_XML_XMLLITE_READER_H
#define PEGASUS_XML_XMLLITE_READER_H

#include <windows.h>

#include <objidl.h>
#include <xmllite.h>

#include <cstddef>
#include <string>

namespace Pegasus {
namespace xml {

class FeedStream;

// One IXmlReader, DTD processing prohibited, reading the bytes appended so
// far; when they run out it reports the end of input (S_FALSE or, in Wine,
// E_PENDING). Not copyable; one per document.
class XmlLiteReader {
  public:
    // Throws CIMClientXmlException ("Malformed XML: on line 1") when XmlLite
    // cannot be loaded or gives no reader: without it no response can be
    // read, and the client says so in its own terms rather than later.
    XmlLiteReader();
    ~XmlLiteReader();
    XmlLiteReader(const XmlLiteReader&) = delete;
    XmlLiteReader& operator=(const XmlLiteReader&) = delete;

    // More of the document; `data` may be reused once this returns.
    void append(const char* data, std::size_t size);

    IXmlReader* operator->() const { return reader_; }

  private:
    IXmlReader* reader_ = nullptr;
    FeedStream* stream_ = nullptr;
};

// The UTF-8 form of `length` UTF-16 units as XmlLite reports them.
std::string utf8(const wchar_t* text, UINT length);

}  // namespace xml
}  // namespace Pegasus

#endif

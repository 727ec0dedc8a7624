// The streaming driver: turns CIM-XML response bodies into CIM objects (no
// network), feeding the XML parser, the element tree, the envelope
// (response_envelope.h), the object grammar (object_grammar.h) and, for
// enumerations, the repeated-instance cache (repeated_instances.h). The body is
// pushed in pieces of any size. An EnumerateInstances response is turned into
// instances one VALUE.NAMEDINSTANCE at a time, so that memory holds the
// instances built and the elements of a few instances, never those of the
// whole body; any other response is held as an element tree until its finish call.
// Whether the body's bytes are held too is the XML parser's affair
// (xml/xml_parser.h).
//
// Every defect of the body is a CIMClientXmlException whose text follows
// OpenPegasus ("Closing element does not match opening element: on line 7",
// "Validation error: on line 7: ..."); a server error is a CIMException; a
// response to another request a CIMClientResponseException. When a body has
// several defects, an XML syntax error is reported before any defect of the
// content, as OpenPegasus does. What it gives are plain values, valid for as
// long as the caller keeps them.
#ifndef PEGASUS_CIMXML_RESPONSE_DECODER_H
#define PEGASUS_CIMXML_RESPONSE_DECODER_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Pegasus {
namespace cimxml {

// The largest response body a client accepts unless told otherwise (1 GiB).
constexpr std::uint64_t kDefaultResponseLimit = std::uint64_t(1) << 30;

// Decodes one response body pushed in pieces. Not copyable; one per body;
// not for use by two threads at once.
class ResponseDecoder {
  public:
    enum class Operation { EnumerateInstances, GetInstance, GetClass, InvokeMethod };

    // A body larger than `responseLimit` bytes fails with
    // CIMClientMalformedHTTPException, as the transport fails it; the limit
    // also sets how dense a body's markup may be (element_tree.h).
    ResponseDecoder(Operation operation, Uint32 messageId,
                    std::uint64_t responseLimit = kDefaultResponseLimit);
    ~ResponseDecoder();
    ResponseDecoder(const ResponseDecoder&) = delete;
    ResponseDecoder& operator=(const ResponseDecoder&) = delete;

    // Decoding past `deadline` throws ConnectionTimeoutException
    // ("connection timed out"), the transport's own failure at the same
    // deadline: from feed() at once (not kept like a defect of the body, so
    // that the transport stops reading) and from the finish call. The clock
    // is read every so many elements and every 64 KiB of body. No deadline
    // unless one is set.
    void setDeadline(std::chrono::steady_clock::time_point deadline);

    // The next bytes of the body; `data` may be reused once this returns.
    // Never throws for a defect of the body: the first one is kept and
    // thrown by the finish call, so that the caller can first judge the
    // rest of the response (its HTTP trailer, ...).
    void feed(const char* data, std::size_t size);

    // The body is complete: the result of the operation named at
    // construction, or the first defect thrown. Call one of them, once.
    //
    // EnumerateInstances: the instances, with paths taken from their
    // INSTANCENAMEs (no host, no namespace).
    Array<CIMInstance> finishEnumerateInstances();
    // GetInstance: the single INSTANCE; its path is its class name.
    CIMInstance finishGetInstance();
    // GetClass: the single CLASS, its METHOD elements checked and dropped.
    CIMClass finishGetClass();
    // InvokeMethod: the return value (a null boolean when the server sent no
    // RETURNVALUE); the output parameters replace outParameters.
    CIMValue finishInvokeMethod(const CIMName& methodName, Array<CIMParamValue>& outParameters);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The same for a body received whole.
Array<CIMInstance> decodeEnumerateInstances(const std::string& body, Uint32 messageId,
                                            std::uint64_t responseLimit = kDefaultResponseLimit);
CIMInstance decodeGetInstance(const std::string& body, Uint32 messageId,
                              std::uint64_t responseLimit = kDefaultResponseLimit);
CIMClass decodeGetClass(const std::string& body, Uint32 messageId,
                        std::uint64_t responseLimit = kDefaultResponseLimit);
CIMValue decodeInvokeMethod(const std::string& body, Uint32 messageId, const CIMName& methodName,
                            Array<CIMParamValue>& outParameters,
                            std::uint64_t responseLimit = kDefaultResponseLimit);

}  // namespace cimxml
}  // namespace Pegasus

#endif

#ifndef PEGASUS_CLIENT_CIMCLIENTEXCEPTION_H
#define PEGASUS_CLIENT_CIMCLIENTEXCEPTION_H

#include <Pegasus/Common/Exception.h>

namespace Pegasus {

// The server answered with an HTTP error status (401, 400, 500, ...).
// getMessage(): "HTTP Error (401 Unauthorized)." optionally with
// `: CIMError = "..."` and ` Detail = "..."` from the CIMError and
// PGErrorDetail headers before the final period.
class CIMClientHTTPErrorException : public Exception {
  public:
    CIMClientHTTPErrorException(Uint32 httpStatusCode, const String& reasonPhrase,
                                const String& cimError, const String& cimErrorDetail);
    Uint32 getCode() const { return code_; }
    const String& getCIMError() const { return cimError_; }
    const String& getCIMErrorDetail() const { return cimErrorDetail_; }

  private:
    Uint32 code_;
    String cimError_;
    String cimErrorDetail_;
};

// The response body is not well-formed CIM-XML ("... : on line N").
class CIMClientXmlException : public Exception {
  public:
    explicit CIMClientXmlException(const String& message) : Exception(message) {}
};

// The HTTP response is unusable: missing or wrong headers, a connection closed
// before the response was complete, or a response larger than the client's limit.
class CIMClientMalformedHTTPException : public Exception {
  public:
    explicit CIMClientMalformedHTTPException(const String& message) : Exception(message) {}
};

// The response does not answer the request (e.g. another MESSAGE ID).
class CIMClientResponseException : public Exception {
  public:
    explicit CIMClientResponseException(const String& message) : Exception(message) {}
};

}  // namespace Pegasus

#endif

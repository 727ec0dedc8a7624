// What makes an HTTP response a usable CIM-XML answer, and the exception
// OpenPegasus throws when it is not. No network here.
#ifndef PEGASUS_CLIENT_RESPONSE_CHECKS_H
#define PEGASUS_CLIENT_RESPONSE_CHECKS_H

#include "http/http_response.h"

namespace Pegasus {

// `text` with its %XX escapes decoded (trailer values, credentials in a URL).
std::string uriDecode(const std::string& text);

// True for a 401 whose WWW-Authenticate is a Basic challenge with a realm:
// the request may be sent once more with credentials. Throws
// CIMClientMalformedHTTPException "Invalid Authorization header" for a
// challenge without realm or of another scheme; false for every other response.
bool asksForBasicCredentials(const http::HttpResponse& response);

// Throws CIMClientHTTPErrorException for a status other than 200,
// CIMClientMalformedHTTPException for a missing or wrong CIMOperation or
// Content-Type header, and CIMException for a CIMStatusCode header or trailer
// field. Returns when the body is to be decoded.
void checkOperationResponse(const http::HttpResponse& response);

}  // namespace Pegasus

#endif

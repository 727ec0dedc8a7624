#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/Exception.h>

#include <string>

namespace Pegasus {

void throwIndexOutOfBounds() { throw IndexOutOfBoundsException(); }

Exception::~Exception() = default;

IndexOutOfBoundsException::IndexOutOfBoundsException() : Exception("index out of bounds") {}

TypeMismatchException::TypeMismatchException() : Exception("type mismatch") {}

MalformedObjectNameException::MalformedObjectNameException(const String& objectName)
    : Exception(String("malformed object name: ") + objectName) {}

InvalidDateTimeFormatException::InvalidDateTimeFormatException(const String& text)
    : Exception(String("invalid datetime format: ") + text) {}

InvalidLocatorException::InvalidLocatorException(const String& locator)
    : Exception(String("Invalid locator: ") + locator) {}

ConnectionTimeoutException::ConnectionTimeoutException() : Exception("connection timed out") {}

NotConnectedException::NotConnectedException() : Exception("not connected") {}

AlreadyConnectedException::AlreadyConnectedException() : Exception("already connected") {}

SSLException::SSLException(const String& message)
    : Exception(String("SSL Exception: ") + message) {}

namespace {

String httpErrorMessage(Uint32 code, const String& reasonPhrase, const String& cimError,
                        const String& detail) {
    std::string text = "HTTP Error (" + std::to_string(code) + " " + reasonPhrase.utf8() + ")";
    if (cimError.size() > 0 || detail.size() > 0) {
        text += ":";
        if (cimError.size() > 0) text += " CIMError = \"" + cimError.utf8() + "\"";
        if (detail.size() > 0) text += " Detail = \"" + detail.utf8() + "\"";
    }
    text += ".";
    return String::fromUtf8(std::move(text));
}

}  // namespace

CIMClientHTTPErrorException::CIMClientHTTPErrorException(Uint32 httpStatusCode,
                                                         const String& reasonPhrase,
                                                         const String& cimError,
                                                         const String& cimErrorDetail)
    : Exception(httpErrorMessage(httpStatusCode, reasonPhrase, cimError, cimErrorDetail)),
      code_(httpStatusCode),
      cimError_(cimError),
      cimErrorDetail_(cimErrorDetail) {}

}  // namespace Pegasus

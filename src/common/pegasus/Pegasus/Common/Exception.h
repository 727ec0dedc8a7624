#ifndef PEGASUS_COMMON_EXCEPTION_H
#define PEGASUS_COMMON_EXCEPTION_H

#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/String.h>

namespace Pegasus {

// Root of everything this library throws: callers catch `Exception&` and
// nothing else escapes an operation. Thrown by value. getMessage() texts are
// those of OpenPegasus 2.14 for the same failure.
class Exception {
  public:
    explicit Exception(const String& message) : message_(message) {}
    virtual ~Exception();
    const String& getMessage() const { return message_; }

  protected:
    String message_;
};

// Error reported by the CIM server (an ERROR element or a CIMStatusCode
// trailer). getMessage() is the server's description only, possibly empty.
class CIMException : public Exception {
  public:
    explicit CIMException(CIMStatusCode code = CIM_ERR_SUCCESS,
                          const String& message = String::EMPTY)
        : Exception(message), code_(code) {}
    // The code as the server sent it, also when it is not a known CIMStatusCode.
    CIMStatusCode getCode() const { return code_; }

  private:
    CIMStatusCode code_;
};

// "index out of bounds": Array or String element access past the end.
class IndexOutOfBoundsException : public Exception {
  public:
    IndexOutOfBoundsException();
};

// "type mismatch": CIMValue::get with a C++ type other than the value's type.
class TypeMismatchException : public Exception {
  public:
    TypeMismatchException();
};

// "malformed object name: " + the text (and reason) that could not be parsed.
class MalformedObjectNameException : public Exception {
  public:
    explicit MalformedObjectNameException(const String& objectName);
};

// "invalid datetime format: " + the text.
class InvalidDateTimeFormatException : public Exception {
  public:
    explicit InvalidDateTimeFormatException(const String& text);
};

// The TCP or TLS connection to the server could not be made. The message names
// host and port: "Cannot connect to HOST:PORT. Connection failed."
class CannotConnectException : public Exception {
  public:
    explicit CannotConnectException(const String& message) : Exception(message) {}
};

// The host name does not resolve: "Invalid locator: HOST:PORT".
class InvalidLocatorException : public Exception {
  public:
    explicit InvalidLocatorException(const String& locator);
};

// The server accepted the request but did not answer within the client's
// time-out: "connection timed out".
class ConnectionTimeoutException : public Exception {
  public:
    ConnectionTimeoutException();
};

// "not connected": an operation was called before connect() or after disconnect().
class NotConnectedException : public Exception {
  public:
    NotConnectedException();
};

// "already connected": connect() on a connected client.
class AlreadyConnectedException : public Exception {
  public:
    AlreadyConnectedException();
};

// "SSL Exception: " + the reason: the SSL context could not be set up.
class SSLException : public Exception {
  public:
    explicit SSLException(const String& message);
};

}  // namespace Pegasus

#endif

// Test-only view into every CIMClient of the process. Not part of the
// OpenPegasus API: module code never includes this header, tests do.
#ifndef PEGASUS_TESTING_CLIENT_OBSERVER_H
#define PEGASUS_TESTING_CLIENT_OBSERVER_H

#include <cstdint>
#include <functional>
#include <string>

namespace pegasus_testing {

struct ClientEvent {
    enum Kind {
        SetTimeout,    // timeoutMilliseconds
        Connect,       // host, port (before the attempt, also when it then fails)
        ConnectLocal,  // host (the socket file for a socket), port of each place tried
        Request        // operation ("EnumerateInstances", ...), target (class or path text),
                       // messageId, and the time-out in force for it
    };
    Kind kind;
    std::string host;
    std::uint32_t port = 0;
    // SetTimeout: the value asked for. Others: the client's time-out in force (after the
    // ceiling below), which never crosses the wire.
    std::uint32_t timeoutMilliseconds = 0;
    std::string operation;
    std::string target;
    // Request: the MESSAGE ID the request goes out with, so that a test can join the event to
    // what a server saw of the same request.
    std::uint32_t messageId = 0;
};

// Called synchronously on the client's thread for every event of every client.
// An empty function removes the observer.
void setClientObserver(std::function<void(const ClientEvent&)> observer);

// Caps the time-out of every request started from now on, whenever its client's
// time-out was set (SetTimeout events still show the value asked for), so that a
// test can let a silent server's requests time out at once; 0 removes the cap.
void setTimeoutCeiling(std::uint32_t milliseconds);

// Makes every response decoded from now on take its deadline as passed while the transport keeps
// the real one, as if decoding had outlasted the time-out, so that a test can see what such an
// answer gives without racing the clock; false restores the real deadline.
void setDecodingDeadlinePassed(bool passed);

// Largest response body a client accepts before failing the operation with
// CIMClientMalformedHTTPException; 0 restores the default of 1 GiB.
void setResponseLimit(std::uint64_t bytes);

// Makes every client's transport take the named setting as refused by its HTTP
// library (libcurl's "CURLOPT_SSL_VERIFYPEER", WinHTTP's
// "WINHTTP_OPTION_DISABLE_FEATURE", ...), as a library built without it would,
// so that tests see the connection fail instead of going on with a default; an
// empty name removes it.
void refuseTransportSetting(const std::string& name);

}  // namespace pegasus_testing

#endif

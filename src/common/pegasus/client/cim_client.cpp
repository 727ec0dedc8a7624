#include <Pegasus/Client/CIMClient.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base64.h"
#include "http_connection.h"
#include "observer_hooks.h"
#include "request_encoder.h"
#include "response_checks.h"
#include "response_decoder.h"

namespace Pegasus {

namespace {

const Uint32 kDefaultTimeoutMilliseconds = 20000;

// MESSAGE IDs are unique in the process, as OpenPegasus numbers them.
std::atomic<Uint32> nextMessageId{1000};

void notify(pegasus_testing::ClientEvent::Kind kind, const std::string& host, Uint32 port,
            Uint32 timeout, const std::string& operation = std::string(),
            const std::string& target = std::string(), Uint32 messageId = 0) {
    pegasus_testing::ClientEvent event;
    event.kind = kind;
    event.host = host;
    event.port = port;
    event.timeoutMilliseconds = timeout;
    event.operation = operation;
    event.target = target;
    event.messageId = messageId;
    notifyObserver(event);
}

// Decodes the body of a successful answer while it arrives; other answers
// (401, 500, ...) keep their body for the HTTP checks.
class DecodingSink : public http::BodySink {
  public:
    DecodingSink(cimxml::ResponseDecoder::Operation operation, Uint32 messageId)
        : decoder(operation, messageId, responseLimit()) {}
    bool accept(const http::HttpResponse& head) override { return head.status == 200; }
    void body(const char* data, std::size_t size) override { decoder.feed(data, size); }

    cimxml::ResponseDecoder decoder;
};

}  // namespace

class CIMClient::Impl {
  public:
    Uint32 timeout = kDefaultTimeoutMilliseconds;
    // The test ceiling is taken when a request starts, so that a test can lower it for the
    // request it makes a server ignore and leave every other one the module's own time-out.
    Uint32 inForce() const {
        const Uint32 ceiling = timeoutCeiling();
        return ceiling != 0 && timeout > ceiling ? ceiling : timeout;
    }
    bool connected = false;
    http::Endpoint endpoint;
    std::string user;
    std::string password;
    std::unique_ptr<http::HttpConnection> connection;
    // The server has asked for credentials; send them from now on.
    bool challenged = false;

    void open(const std::string& host, Uint32 port, const SSLContext* tls,
              const std::string& userName, const std::string& userPassword) {
        if (connected) throw AlreadyConnectedException();
        endpoint.host = host.empty() ? "localhost" : host;
        endpoint.port = port;
        endpoint.useTls = tls != nullptr;
        endpoint.tls = tls ? std::make_shared<const SSLContext>(*tls) : nullptr;
        user = userName;
        password = userPassword;
        challenged = false;
        connection = newConnection(inForce());
        connected = true;
    }

    std::unique_ptr<http::HttpConnection> newConnection(Uint32 milliseconds) {
        endpoint.refusedSetting = refusedTransportSetting();
        return std::make_unique<http::HttpConnection>(endpoint,
                                                      std::chrono::milliseconds(milliseconds));
    }

    void close() {
        connection.reset();
        connected = false;
        challenged = false;
    }

    std::string requestBytes(const cimxml::EncodedRequest& request) const {
        char length[16];
        std::snprintf(length, sizeof length, "%010u", static_cast<unsigned>(request.body.size()));
        std::string bytes = "POST /cimom HTTP/1.1\r\nHOST: " + endpoint.host + ":" +
                            std::to_string(endpoint.port) +
                            "\r\nContent-Type: application/xml; charset=utf-8\r\n"
                            "content-length: " +
                            length +
                            "\r\nTE: chunked, trailers\r\n"
                            "CIMOperation: MethodCall\r\n"
                            "CIMMethod: " +
                            request.cimMethod + "\r\nCIMObject: " + request.cimObject + "\r\n";
        if (challenged)
            bytes += "Authorization: Basic " + http::base64(user + ":" + password) + "\r\n";
        bytes += "\r\n";
        bytes += request.body;
        return bytes;
    }

    // One request and its response on the persistent connection, opened
    // anew when the last one ended. Never sends a request twice, except once
    // with credentials after a Basic challenge.
    http::HttpResponse exchange(const cimxml::EncodedRequest& request, http::BodySink& sink) {
        if (!connected) throw NotConnectedException();
        const Uint32 limit = inForce();
        bool retriedWithCredentials = false;
        while (true) {
            // A connection the server closed while idle has carried no part
            // of this request yet, so replacing it sends nothing twice.
            if (connection && connection->isStale()) connection.reset();
            if (!connection) connection = newConnection(limit);
            http::HttpResponse response;
            try {
                response = connection->exchange(
                    requestBytes(request), http::Clock::now() + std::chrono::milliseconds(limit),
                    responseLimit(), &sink);
            } catch (const ConnectionTimeoutException&) {
                // A late answer must not be taken for the next request's.
                connection.reset();
                challenged = false;
                throw;
            } catch (const Exception&) {
                connection.reset();
                throw;
            }
            if (response.closesConnection) connection.reset();
            if (!retriedWithCredentials && !challenged && asksForBasicCredentials(response)) {
                challenged = true;
                retriedWithCredentials = true;
                continue;
            }
            checkOperationResponse(response);
            return response;
        }
    }

    void notifyRequest(const std::string& operation, const std::string& target,
                       Uint32 messageId) const {
        notify(pegasus_testing::ClientEvent::Request, endpoint.host, endpoint.port, inForce(),
               operation, target, messageId);
    }
};

CIMClient::CIMClient() : impl_(std::make_unique<Impl>()) {}
CIMClient::~CIMClient() = default;

Uint32 CIMClient::getTimeout() const { return impl_->timeout; }

void CIMClient::setTimeout(Uint32 timeoutMilliseconds) {
    notify(pegasus_testing::ClientEvent::SetTimeout, impl_->endpoint.host, impl_->endpoint.port,
           timeoutMilliseconds);
    impl_->timeout = timeoutMilliseconds;
}

void CIMClient::connect(const String& host, Uint32 portNumber, const String& userName,
                        const String& password) {
    notify(pegasus_testing::ClientEvent::Connect, host.utf8(), portNumber, impl_->inForce());
    impl_->open(host.utf8(), portNumber, nullptr, userName.utf8(), password.utf8());
}

void CIMClient::connect(const String& host, Uint32 portNumber, const SSLContext& sslContext,
                        const String& userName, const String& password) {
    notify(pegasus_testing::ClientEvent::Connect, host.utf8(), portNumber, impl_->inForce());
    impl_->open(host.utf8(), portNumber, &sslContext, userName.utf8(), password.utf8());
}

void CIMClient::connectLocal() {
    const char* variable = std::getenv("CIMCLIENT_LOCAL_URL");
    std::string url = variable != nullptr && *variable != '\0' ? variable : "http://127.0.0.1:5988";
    std::string rest;
    bool tls;
    if (url.compare(0, 7, "http://") == 0) {
        tls = false;
        rest = url.substr(7);
    } else if (url.compare(0, 8, "https://") == 0) {
        tls = true;
        rest = url.substr(8);
    } else {
        throw InvalidLocatorException(String::fromUtf8(url));
    }
    rest = rest.substr(0, rest.find('/'));
    std::string user;
    std::string password;
    size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        std::string credentials = rest.substr(0, at);
        rest = rest.substr(at + 1);
        size_t colon = credentials.find(':');
        user = uriDecode(credentials.substr(0, colon));
        if (colon != std::string::npos) password = uriDecode(credentials.substr(colon + 1));
    }
    std::string host = rest;
    Uint32 port = tls ? 5989 : 5988;
    size_t colon = rest.rfind(':');
    size_t bracket = rest.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        host = rest.substr(0, colon);
        std::string digits = rest.substr(colon + 1);
        char* end = nullptr;
        unsigned long value = std::strtoul(digits.c_str(), &end, 10);
        if (digits.empty() || *end != '\0' || value == 0 || value > 65535) {
            throw InvalidLocatorException(String::fromUtf8(url));
        }
        port = static_cast<Uint32>(value);
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    notify(pegasus_testing::ClientEvent::ConnectLocal, host, port, impl_->inForce());
    SSLContext anyCertificate{String()};
    impl_->open(host, port, tls ? &anyCertificate : nullptr, user, password);
}

void CIMClient::disconnect() { impl_->close(); }

namespace {

// Only Pegasus exceptions leave an operation; anything else (memory
// exhaustion on a huge response, ...) is reported as one.
template <class Operation>
auto guarded(Operation operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const Exception&) {
        throw;
    } catch (const std::exception& error) {
        throw CIMClientResponseException(
            String::fromUtf8(std::string("Failed to process the response: ") + error.what()));
    }
}

}  // namespace

Array<CIMInstance> CIMClient::enumerateInstances(const CIMNamespaceName& nameSpace,
                                                 const CIMName& className, Boolean deepInheritance,
                                                 Boolean localOnly, Boolean includeQualifiers,
                                                 Boolean includeClassOrigin,
                                                 const CIMPropertyList& propertyList) {
    return guarded([&] {
        Uint32 messageId = nextMessageId++;
        impl_->notifyRequest("EnumerateInstances", className.getString().utf8(), messageId);
        DecodingSink sink(cimxml::ResponseDecoder::Operation::EnumerateInstances, messageId);
        impl_->exchange(cimxml::encodeEnumerateInstances(
                            messageId, nameSpace, className, deepInheritance, localOnly,
                            includeQualifiers, includeClassOrigin, propertyList),
                        sink);
        return sink.decoder.finishEnumerateInstances();
    });
}

CIMInstance CIMClient::getInstance(const CIMNamespaceName& nameSpace,
                                   const CIMObjectPath& instanceName, Boolean localOnly,
                                   Boolean includeQualifiers, Boolean includeClassOrigin,
                                   const CIMPropertyList& propertyList) {
    return guarded([&] {
        Uint32 messageId = nextMessageId++;
        impl_->notifyRequest("GetInstance", instanceName.toString().utf8(), messageId);
        DecodingSink sink(cimxml::ResponseDecoder::Operation::GetInstance, messageId);
        impl_->exchange(
            cimxml::encodeGetInstance(messageId, nameSpace, instanceName, localOnly,
                                      includeQualifiers, includeClassOrigin, propertyList),
            sink);
        return sink.decoder.finishGetInstance();
    });
}

CIMClass CIMClient::getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                             Boolean localOnly, Boolean includeQualifiers,
                             Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
    return guarded([&] {
        Uint32 messageId = nextMessageId++;
        impl_->notifyRequest("GetClass", className.getString().utf8(), messageId);
        DecodingSink sink(cimxml::ResponseDecoder::Operation::GetClass, messageId);
        impl_->exchange(cimxml::encodeGetClass(messageId, nameSpace, className, localOnly,
                                               includeQualifiers, includeClassOrigin, propertyList),
                        sink);
        return sink.decoder.finishGetClass();
    });
}

CIMValue CIMClient::invokeMethod(const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName, const CIMName& methodName,
                                 const Array<CIMParamValue>& inParameters,
                                 Array<CIMParamValue>& outParameters) {
    return guarded([&] {
        Uint32 messageId = nextMessageId++;
        impl_->notifyRequest(methodName.getString().utf8(), instanceName.toString().utf8(),
                             messageId);
        DecodingSink sink(cimxml::ResponseDecoder::Operation::InvokeMethod, messageId);
        impl_->exchange(cimxml::encodeInvokeMethod(messageId, nameSpace, instanceName, methodName,
                                                   inParameters),
                        sink);
        return sink.decoder.finishInvokeMethod(methodName, outParameters);
    });
}

}  // namespace Pegasus

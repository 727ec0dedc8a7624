#include <Pegasus/Client/CIMClient.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cimxml/request_encoder.h"
#include "cimxml/response_decoder.h"
#include "client/local_authentication.h"
#include "client/local_server.h"
#include "client/response_checks.h"
#include "http/base64.h"
#include "http/connect_failure.h"
#include "http/http_connection.h"
#include "testing/test_seams.h"

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
    seams::notify(event);
}

// Decodes the body of a successful answer while it arrives; other answers
// (401, 500, ...) keep their body for the HTTP checks.
class DecodingSink : public http::BodySink {
  public:
    DecodingSink(cimxml::ResponseDecoder::Operation operation, Uint32 messageId)
        : decoder(operation, messageId, seams::responseLimit()) {}
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
        const Uint32 ceiling = seams::timeoutCeiling();
        return ceiling != 0 && timeout > ceiling ? ceiling : timeout;
    }
    bool connected = false;
    http::Endpoint endpoint;
    std::string user;
    std::string password;
    std::unique_ptr<http::HttpConnection> connection;
    // The server has asked for credentials; send them from now on.
    bool challenged = false;
    // Answer the local server's local authentication with secrets from this
    // directory (none set: every challenge is refused).
    bool localAuthentication = false;
    std::string localAuthDirectory;
    std::string localUser;
    // Who started the local server, whose files alone may hold its secrets.
    long localOwner = kUnknownOwner;
    // The answer to the current connection's local challenge. The server
    // judges every request, not the connection, so each request on it carries
    // the answer again; a new connection is challenged anew.
    std::string localAnswer;

    void open(const std::string& host, Uint32 port, const SSLContext* tls,
              const std::string& userName, const std::string& userPassword,
              const std::string& unixSocket = std::string(), bool answersLocal = false,
              const std::string& authDirectory = std::string(), long owner = kUnknownOwner) {
        if (connected) throw AlreadyConnectedException();
        endpoint.host = host.empty() ? "localhost" : host;
        endpoint.port = port;
        endpoint.unixSocket = unixSocket;
        endpoint.useTls = tls != nullptr;
        endpoint.tls = tls ? std::make_shared<const SSLContext>(*tls) : nullptr;
        user = userName;
        password = userPassword;
        challenged = false;
        localAuthentication = answersLocal;
        localAuthDirectory = authDirectory;
        localUser = answersLocal ? processUserName() : std::string();
        localOwner = owner;
        connection = newConnection(inForce());
        connected = true;
    }

    std::unique_ptr<http::HttpConnection> newConnection(Uint32 milliseconds) {
        localAnswer.clear();
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
        // Over a Unix domain socket OpenPegasus names no host.
        const std::string host = endpoint.unixSocket.empty()
                                     ? endpoint.host + ":" + std::to_string(endpoint.port)
                                     : std::string();
        std::string bytes = "POST /cimom HTTP/1.1\r\nHOST: " + host +
                            "\r\nContent-Type: application/xml; charset=utf-8\r\n"
                            "content-length: " +
                            length +
                            "\r\nTE: chunked, trailers\r\n"
                            "CIMOperation: MethodCall\r\n"
                            "CIMMethod: " +
                            request.cimMethod + "\r\nCIMObject: " + request.cimObject + "\r\n";
        if (challenged) {
            bytes += "Authorization: Basic " + http::base64(user + ":" + password) + "\r\n";
        } else if (localAuthentication) {
            bytes += "PegasusAuthorization: " +
                     (localAnswer.empty() ? localAuthorizationField(localUser) : localAnswer) +
                     "\r\n";
        }
        bytes += "\r\n";
        bytes += request.body;
        return bytes;
    }

    // The answer to a local challenge; a file the client must not read ends
    // the connection with CannotConnectException.
    void answerLocalChallenge(const std::string& file) {
        try {
            localAnswer = localAnswerField(localUser, file, localAuthDirectory, localOwner);
        } catch (const LocalSecretRefused& refused) {
            connection.reset();
            http::throwCannotConnect(endpoint, refused.what());
        }
    }

    // One request and its response on the persistent connection, opened
    // anew when the last one ended. Never sends a request twice, except once
    // with credentials after a Basic challenge, or with the secret after a
    // local challenge.
    http::HttpResponse exchange(const cimxml::EncodedRequest& request, DecodingSink& sink) {
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
                const std::string bytes = requestBytes(request);
                const http::Clock::time_point deadline =
                    http::Clock::now() + std::chrono::milliseconds(limit);
                // The decoding of the answer, its finish included, is bounded by the same deadline
                // as its reading.
                sink.decoder.setDeadline(seams::decodingDeadline(deadline));
                response = connection->exchange(bytes, deadline, seams::responseLimit(), &sink);
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
            if (!retriedWithCredentials && localAuthentication && !challenged) {
                const std::string file = localChallengeFile(response);
                if (!file.empty()) {
                    answerLocalChallenge(file);
                    retriedWithCredentials = true;
                    continue;
                }
            }
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
    if (seams::kEnabled) {
        notify(pegasus_testing::ClientEvent::SetTimeout, impl_->endpoint.host, impl_->endpoint.port,
               timeoutMilliseconds);
    }
    impl_->timeout = timeoutMilliseconds;
}

void CIMClient::connect(const String& host, Uint32 portNumber, const String& userName,
                        const String& password) {
    if (seams::kEnabled) {
        notify(pegasus_testing::ClientEvent::Connect, host.utf8(), portNumber, impl_->inForce());
    }
    impl_->open(host.utf8(), portNumber, nullptr, userName.utf8(), password.utf8());
}

void CIMClient::connect(const String& host, Uint32 portNumber, const SSLContext& sslContext,
                        const String& userName, const String& password) {
    if (seams::kEnabled) {
        notify(pegasus_testing::ClientEvent::Connect, host.utf8(), portNumber, impl_->inForce());
    }
    impl_->open(host.utf8(), portNumber, &sslContext, userName.utf8(), password.utf8());
}

namespace {

// Who started the local server `server` names, when it is one that may be trusted with the
// secrets of this machine; throws CannotConnectException saying why not. A socket only as
// trustedSocketOwner allows (POSIX), and a usual TCP port only when root (Windows: LocalSystem)
// listens on it.
long localServerOwner(const LocalServer& server) {
    http::Endpoint endpoint;
    endpoint.host = server.host;
    endpoint.port = server.port;
    endpoint.unixSocket = server.unixSocket;
    try {
        if (!server.unixSocket.empty()) return trustedSocketOwner(server.unixSocket);
    } catch (const LocalSecretRefused& refused) {
        http::throwCannotConnect(endpoint, refused.what());
    }
    const long owner = listenerOwner(server.port);
    if (server.fallback && owner != 0) {
#ifdef _WIN32
        const std::string system = "SYSTEM";
#else
        const std::string system = "root";
#endif
        http::throwCannotConnect(endpoint, "The fallback to port " + std::to_string(server.port) +
                                               " was not tried: no server that " + system +
                                               " started listens there.");
    }
    return owner;
}

}  // namespace

void CIMClient::connectLocal() {
    const std::vector<LocalServer> servers = localServers();
    for (size_t i = 0; i < servers.size(); ++i) {
        const LocalServer& server = servers[i];
        if (seams::kEnabled) {
            notify(pegasus_testing::ClientEvent::ConnectLocal,
                   server.unixSocket.empty() ? server.host : server.unixSocket, server.port,
                   impl_->inForce());
        }
        SSLContext anyCertificate{String()};
        try {
            impl_->open(server.host, server.port, server.tls ? &anyCertificate : nullptr,
                        server.user, server.password, server.unixSocket, server.user.empty(),
                        server.authDirectory, localServerOwner(server));
            return;
        } catch (const CannotConnectException&) {
            if (i + 1 == servers.size()) throw;
        }
    }
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
        if (seams::kEnabled) {
            impl_->notifyRequest("EnumerateInstances", className.getString().utf8(), messageId);
        }
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
        if (seams::kEnabled) {
            impl_->notifyRequest("GetInstance", instanceName.toString().utf8(), messageId);
        }
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
        if (seams::kEnabled) {
            impl_->notifyRequest("GetClass", className.getString().utf8(), messageId);
        }
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
        if (seams::kEnabled) {
            impl_->notifyRequest(methodName.getString().utf8(), instanceName.toString().utf8(),
                                 messageId);
        }
        DecodingSink sink(cimxml::ResponseDecoder::Operation::InvokeMethod, messageId);
        impl_->exchange(cimxml::encodeInvokeMethod(messageId, nameSpace, instanceName, methodName,
                                                   inParameters),
                        sink);
        return sink.decoder.finishInvokeMethod(methodName, outParameters);
    });
}

}  // namespace Pegasus

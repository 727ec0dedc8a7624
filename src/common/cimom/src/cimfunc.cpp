// The connection half of CimFunc: construction, connect attempts and reconnecting.

#include "cimfunc.h"

#include <functional>
#include <optional>

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SSLContext.h>

#include "log_line.h"
#include "pause.h"
#include "pegasus_text.h"

namespace {

constexpr int kConnectAttempts = 3;
constexpr unsigned int kPauseAfterFailedAttemptMs = 10000;
// Set before each attempt; connecting and every request after it live with this limit until a
// caller sets its own.
constexpr Pegasus::Uint32 kConnectTimeoutMs = 2400000;

bool IsCimConnectionCase(int connectionCase) {
    return connectionCase == 2 || connectionCase == 3 || connectionCase == 4;
}

// Runs `attemptOnce` until it succeeds or the attempts are spent, pausing after each attempt that
// threw; only the last failure is logged, naming the `server` ("local", "remote"). A status other
// than 0 from `attemptOnce` ends the attempts at once.
int ConnectWithRetries(const char* server, const std::function<int()>& attemptOnce) {
    for (int attempt = 1; attempt <= kConnectAttempts; ++attempt) {
        try {
            const int result = attemptOnce();
            if (result == 0) {
                VORNET_LOG(3) << "Cimserver connection succeeded ";
            }
            return result;
        } catch (const Pegasus::Exception& error) {
            if (attempt == kConnectAttempts) {
                VORNET_LOG(1) << "Failed to connect " << server << " cimserver with the reason: "
                              << Vornet::EscapedControls(
                                     std::string(error.getMessage().getCString()));
            }
            Pause(kPauseAfterFailedAttemptMs);
        }
    }
    return 1;
}

}  // namespace

CimFunc::CimFunc(const Pegasus::CIMNamespaceName& nameSpace)
    : nameSpace(nameSpace),
      valueMaps([this](const Pegasus::CIMName& className, Pegasus::CIMClass& cimClass) {
          return FetchClass(className, cimClass);
      }),
      local(true) {
    NewClient();
    if (Connect() != 0) {
        DropClient();
    }
}

CimFunc::CimFunc(const Pegasus::CIMNamespaceName& nameSpace,
                 const Vornet::VornetConnection::ConnectionInfo& info)
    : nameSpace(nameSpace),
      valueMaps([this](const Pegasus::CIMName& className, Pegasus::CIMClass& cimClass) {
          return FetchClass(className, cimClass);
      }),
      connectionInfo(info),
      local(false) {
    NewClient();
    if (Connect() != 0) {
        DropClient();
    }
}

CimFunc::~CimFunc() { DropClient(); }

const Pegasus::CIMNamespaceName& CimFunc::GetNameSpace() { return nameSpace; }

Pegasus::CIMClient* CimFunc::GetClient() { return client.get(); }

Pegasus::CIMClient* CimFunc::GetConnectedClient() {
    if (serverWatch.GivenUp()) {
        return nullptr;
    }
    if (client == nullptr) {
        Reconnect();
    }
    return client.get();
}

ServerWatch& CimFunc::GetServerWatch() { return serverWatch; }

ValueMaps& CimFunc::GetValueMaps() { return valueMaps; }

bool CimFunc::Ask(Pegasus::Uint32 timeoutMs,
                  const std::function<void(Pegasus::CIMClient&)>& request) {
    Pegasus::CIMClient* connected = GetConnectedClient();
    if (connected == nullptr) {
        return false;
    }
    requestDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    valueMaps.NewRequest();
    Send(*connected, timeoutMs, request);
    return true;
}

void CimFunc::Send(Pegasus::CIMClient& connected, Pegasus::Uint32 timeoutMs,
                   const std::function<void(Pegasus::CIMClient&)>& request) {
    try {
        std::optional<ServerTrust::Attempt> attempt;
        if (serverTrust != nullptr) {
            attempt.emplace(*serverTrust);
        }
        connected.setTimeout(timeoutMs);
        request(connected);
        serverWatch.Answered();
    } catch (const Pegasus::Exception& error) {
        serverWatch.Failed(error);
        throw;
    }
}

// A class is read on behalf of the request whose answer is being read, so it shares that
// request's deadline: a run of polls keeps its designed bounds, and a server that stopped
// answering the request is not asked again for nothing. The client is not replaced for it:
// after a reconnect, the connect step's long time-out must not govern it.
bool CimFunc::FetchClass(const Pegasus::CIMName& className, Pegasus::CIMClass& cimClass) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        requestDeadline - std::chrono::steady_clock::now());
    if (client == nullptr || serverWatch.GivenUp() || left.count() <= 0) {
        return false;
    }
    try {
        // Not local only, so that inherited properties come with the value maps their ancestors
        // declare, and a vendor subclass's own maps take their place.
        Send(*client, static_cast<Pegasus::Uint32>(left.count()),
             [&](Pegasus::CIMClient& connected) {
                 cimClass = connected.getClass(nameSpace, className, false, true, false,
                                               Pegasus::CIMPropertyList());
             });
        return true;
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(2) << "Get class " << LogText(className.getString())
                      << " failed with the reason: " << LogText(error.getMessage());
        return false;
    }
}

CimFunc::Call::Call(CimFunc& cimFunc) : cimFunc(cimFunc) { cimFunc.serverWatch.Restart(); }

CimFunc::Call::~Call() { cimFunc.valueMaps.Clear(); }

int CimFunc::Reconnect() {
    DropClient();
    if (serverWatch.GivenUp()) {
        return 1;
    }
    NewClient();
    int result = 1;
    try {
        result = Connect();
    } catch (...) {
        // A client that never connected must not serve the next request as if it had.
        DropClient();
        throw;
    }
    if (result != 0) {
        DropClient();
    }
    return result;
}

void CimFunc::NewClient() { client = std::make_unique<Pegasus::CIMClient>(); }

void CimFunc::DropClient() { client.reset(); }

int CimFunc::Connect() {
    int result = 1;
    if (local) {
        result = ConnectLocal();
    } else if (connectionInfo.host.empty()) {
        VORNET_LOG(1) << "Failed to connect remote cimserver due to invalid connection "
                         "information. ";
    } else {
        result = ConnectRemote();
    }
    if (result != 0) {
        serverWatch.ConnectFailed();
    }
    return result;
}

int CimFunc::ConnectLocal() {
    VORNET_LOG(3) << "Connecting to local cimserver";
    return ConnectWithRetries("local", [this] {
        client->setTimeout(kConnectTimeoutMs);
        client->connectLocal();
        return 0;
    });
}

int CimFunc::ConnectRemote() {
    const Vornet::VornetConnection::ConnectionInfo& info = connectionInfo;
    // The password is masked with a fixed width so that not even its length is logged.
    VORNET_LOG(3) << "Connecting to " << info.user_name << ":**********@" << info.host << ":"
                  << info.port;
    VORNET_LOG(4) << "connection case is " << info.connection_case;
    if (!IsCimConnectionCase(info.connection_case)) {
        VORNET_LOG(4) << "Connection case is not CIM, do not try to connect CIM server.";
        return 1;
    }
    // The trust setting matters only to HTTPS; without one, no trust store and no callback: the
    // server's certificate is accepted as it is.
    serverTrust.reset();
    trust = info.connection_type == 1 ? LoadTrustSetting() : TrustSetting();
    if (trust.state == TrustSetting::State::Faulty) {
        // Accepting any server instead would send the credentials where the operator forbade.
        VORNET_LOG(1) << "Trust setting " << trust.path << " " << trust.fault
                      << "; no HTTPS cimserver is connected until it is fixed or removed";
        return 1;
    }
    serverTrust = std::make_unique<ServerTrust>(trust, info.host, info.port);
    const Pegasus::SSLContext sslContext(serverTrust->TrustStore(), serverTrust->Callback(),
                                         Pegasus::String::EMPTY);
    const Pegasus::String host(info.host.c_str());
    const Pegasus::String user(info.user_name.c_str());
    const Pegasus::String password(info.password.c_str());
    const int result = ConnectWithRetries("remote", [&] {
        client->setTimeout(kConnectTimeoutMs);
        if (info.connection_type == 0) {
            client->connect(host, info.port, user, password);
        } else if (info.connection_type == 1) {
            const ServerTrust::Attempt attempt(*serverTrust);
            client->connect(host, info.port, sslContext, user, password);
        } else {
            VORNET_LOG(1) << "Invalid connection type: " << info.connection_type;
            return 1;
        }
        return 0;
    });
    if (result != 0 && !serverTrust->Refusal().empty()) {
        VORNET_LOG(1) << serverTrust->Refusal();
    }
    return result;
}

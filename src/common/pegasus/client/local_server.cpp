#include "client/local_server.h"

#include <Pegasus/Common/Exception.h>

#include <cstdlib>

#include "client/response_checks.h"
#include "masked_credentials.h"

namespace Pegasus {

namespace {

// OpenPegasus's build constants. The release layout is the one Linux
// packages install; the development layout is a server built from source.
// On Windows a secret's owner cannot be matched with the server's account
// (what SYSTEM makes belongs to the administrators), so only a folder that no
// one else can write to will do, and no usual one is known to be such: there
// secrets are read only from the folder CIMCLIENT_LOCAL_AUTH_DIR names.
#ifdef _WIN32
const char* const kDevelopmentAuthDirectory = "";
#elif defined(__linux__)
const char* const kReleaseSocket = "/var/run/tog-pegasus/socket/cimxml.socket";
const char* const kReleaseAuthDirectory = "/var/opt/tog-pegasus/cache/localauth";
const char* const kDevelopmentSocket = "/var/tmp/cimxml.socket";
const char* const kDevelopmentAuthDirectory = "/var/tmp";
#else
const char* const kDevelopmentSocket = "/tmp/cimxml.socket";
const char* const kDevelopmentAuthDirectory = "/tmp";
#endif

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

#ifndef _WIN32
LocalServer socketServer(const std::string& path, const std::string& authDirectory) {
    LocalServer server;
    server.host = "localhost";
    server.unixSocket = path;
    server.authDirectory = authDirectory;
    return server;
}
#endif

LocalServer tcpServer(Uint32 port, bool tls) {
    LocalServer server;
    server.fallback = true;
    server.host = "127.0.0.1";
    server.port = port;
    server.tls = tls;
    server.authDirectory = kDevelopmentAuthDirectory;
    return server;
}

LocalServer serverOfUrl(const std::string& url) {
#ifndef _WIN32
    if (url.compare(0, 5, "unix:") == 0 && url.size() > 5) {
        return socketServer(url.substr(5), kDevelopmentAuthDirectory);
    }
#endif
    std::string rest;
    bool tls;
    if (url.compare(0, 7, "http://") == 0) {
        tls = false;
        rest = url.substr(7);
    } else if (url.compare(0, 8, "https://") == 0) {
        tls = true;
        rest = url.substr(8);
    } else {
        throw InvalidLocatorException(String::fromUtf8(MaskedCredentials(url)));
    }
    LocalServer server = tcpServer(tls ? 5989 : 5988, tls);
    server.fallback = false;
    rest = rest.substr(0, rest.find('/'));
    size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        std::string credentials = rest.substr(0, at);
        rest = rest.substr(at + 1);
        size_t colon = credentials.find(':');
        server.user = uriDecode(credentials.substr(0, colon));
        if (colon != std::string::npos) server.password = uriDecode(credentials.substr(colon + 1));
    }
    server.host = rest;
    size_t colon = rest.rfind(':');
    size_t bracket = rest.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        server.host = rest.substr(0, colon);
        std::string digits = rest.substr(colon + 1);
        char* end = nullptr;
        unsigned long value = std::strtoul(digits.c_str(), &end, 10);
        if (digits.empty() || *end != '\0' || value == 0 || value > 65535) {
            throw InvalidLocatorException(String::fromUtf8(MaskedCredentials(url)));
        }
        server.port = static_cast<Uint32>(value);
    }
    if (server.host.size() > 2 && server.host.front() == '[' && server.host.back() == ']') {
        server.host = server.host.substr(1, server.host.size() - 2);
    }
    return server;
}

}  // namespace

std::vector<LocalServer> localServers() {
    std::vector<LocalServer> servers;
    const std::string url = environment("CIMCLIENT_LOCAL_URL");
    if (!url.empty()) {
        servers.push_back(serverOfUrl(url));
        const std::string authDirectory = environment("CIMCLIENT_LOCAL_AUTH_DIR");
        if (!authDirectory.empty()) servers.back().authDirectory = authDirectory;
    } else {
#ifdef _WIN32
        servers.push_back(tcpServer(5988, false));
        servers.push_back(tcpServer(5989, true));
#else
#ifdef __linux__
        servers.push_back(socketServer(kReleaseSocket, kReleaseAuthDirectory));
#endif
        servers.push_back(socketServer(kDevelopmentSocket, kDevelopmentAuthDirectory));
        servers.push_back(tcpServer(5988, false));
#endif
    }
    return servers;
}

}  // namespace Pegasus

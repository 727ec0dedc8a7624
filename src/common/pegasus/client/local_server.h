// Where connectLocal() looks for the local CIM server, and where that server
// keeps the secrets of its local authentication.
#ifndef PEGASUS_CLIENT_LOCAL_SERVER_H
#define PEGASUS_CLIENT_LOCAL_SERVER_H

#include <Pegasus/Common/Config.h>

#include <string>
#include <vector>

namespace Pegasus {

struct LocalServer {
    std::string host;        // "localhost" for a Unix domain socket
    Uint32 port = 0;         // 0 for a Unix domain socket
    bool tls = false;        // not verified, as OpenPegasus's SSLContext("")
    std::string unixSocket;  // POSIX only
    // Credentials from CIMCLIENT_LOCAL_URL: Basic after a challenge. Without
    // them the server's local authentication is answered.
    std::string user;
    std::string password;
    // The only directory a local authentication secret is read from (none:
    // every challenge is refused).
    std::string authDirectory;
    // One of OpenPegasus's usual places, tried without being named: a TCP
    // port there is used only when root (Windows: LocalSystem) listens on it.
    bool fallback = false;
};

// The servers to try, in order, until one accepts the connection. With
// CIMCLIENT_LOCAL_URL set, the one it names: http://[user:pw@]host[:port],
// https://..., or unix:/path/of/socket. Otherwise OpenPegasus's places: on
// POSIX its release layout's socket, its development layout's socket, then
// HTTP on 127.0.0.1:5988; on Windows HTTP on 127.0.0.1:5988, then HTTPS on
// 5989. CIMCLIENT_LOCAL_AUTH_DIR replaces the authDirectory of a server that
// CIMCLIENT_LOCAL_URL names, and of no other: a squatter on a usual place
// must not be handed a secret from the folder of another server.
// Throws InvalidLocatorException for a URL it cannot read.
std::vector<LocalServer> localServers();

}  // namespace Pegasus

#endif

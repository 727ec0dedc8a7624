// The local authentication of an OpenPegasus server: the first request names
// the process's user, the server writes a secret into a file only that user
// can read and names the file in its 401, and the same request goes again
// with the file's contents. Whoever listens on the local socket or port
// chooses the file, so a file is read only where the local server keeps its
// secrets, and only if it looks like one. No network here.
#ifndef PEGASUS_CLIENT_LOCAL_AUTHENTICATION_H
#define PEGASUS_CLIENT_LOCAL_AUTHENTICATION_H

#include <Pegasus/Common/Config.h>

#include <stdexcept>
#include <string>

#include "http/http_response.h"

namespace Pegasus {

// The path in a 401's `WWW-Authenticate: Local "<path>"`, or empty for any
// other response.
std::string localChallengeFile(const http::HttpResponse& response);

// The field of a request that proves nothing yet: `Local "<user>"`.
std::string localAuthorizationField(const std::string& user);

// The account that started the local server, as far as the system tells:
// kUnknownOwner where it cannot (Windows, where the folder alone is checked).
const long kUnknownOwner = -1;

// The field that answers a challenge naming `file` (on Windows backslashes
// count as slashes; on POSIX a backslash is refused): `Local "<user>:<file>:
// <contents>"`. A file that does not exist gives empty contents, which the
// server refuses like any wrong secret. Throws LocalSecretRefused, naming the
// file but nothing of it, when the file does not lie directly in `directory`,
// is not a regular file (a link, a device, a FIFO, ...), is not owned by
// `owner` (on POSIX, where an unknown owner reads nothing), cannot be read,
// holds more than kMaxLocalSecretBytes or bytes a header field cannot carry.
std::string localAnswerField(const std::string& user, const std::string& file,
                             const std::string& directory, long owner);

const std::size_t kMaxLocalSecretBytes = 256;

struct LocalSecretRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Platform parts (local_secret_posix.cpp, local_secret_windows.cpp).

// The name of the user the process runs as.
std::string processUserName();

// The contents of `name` in `directory` if it is a regular file of at most
// `maxBytes` owned by `owner` (POSIX: opened relative to the directory,
// without following a link and without waiting on a FIFO; Windows: in a
// directory that no account but SYSTEM, the administrators and this process's
// own may change, reached through no link), empty if it does not exist.
// Throws LocalSecretRefused otherwise.
std::string readLocalSecret(const std::string& directory, const std::string& name,
                            std::size_t maxBytes, long owner);

// The owner of the local server's socket file at `path` when only root or
// this process's user can have put it there: the socket is owned by one of
// them, and so is its folder, which others cannot write to, or only with the
// sticky bit that keeps them from replacing what is not theirs. Throws
// LocalSecretRefused saying why otherwise. POSIX only.
long trustedSocketOwner(const std::string& path);

// The account that every listener on the local `port` runs as (Linux: from the
// kernel's socket tables), or kUnknownOwner when none listens or two accounts
// do. Windows knows no account numbers: 0 when every listener on the port runs
// as LocalSystem, else kUnknownOwner.
long listenerOwner(Uint32 port);

}  // namespace Pegasus

#endif

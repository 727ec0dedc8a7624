#include "client/local_authentication.h"

#include <algorithm>

namespace Pegasus {

namespace {

std::string withSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The value goes between quotes in a header field: a line end would let the
// contents write fields of their own.
bool fitsAField(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '"';
    });
}

}  // namespace

std::string localChallengeFile(const http::HttpResponse& response) {
    if (response.status != 401) return std::string();
    const std::string* challenge = http::findField(response.headers, "WWW-Authenticate");
    const std::string prefix = "Local \"";
    if (challenge == nullptr || challenge->size() <= prefix.size() + 1 ||
        challenge->compare(0, prefix.size(), prefix) != 0 || challenge->back() != '"') {
        return std::string();
    }
    return challenge->substr(prefix.size(), challenge->size() - prefix.size() - 1);
}

std::string localAuthorizationField(const std::string& user) { return "Local \"" + user + "\""; }

std::string localAnswerField(const std::string& user, const std::string& file,
                             const std::string& directory, long owner) {
#ifdef _WIN32
    const std::string path = withSlashes(file);
#else
    // What is checked must be what is opened: a backslash is a file name's own byte here.
    const std::string path = file.find('\\') == std::string::npos ? withSlashes(file) : "";
#endif
    if (directory.empty()) {
        throw LocalSecretRefused("The server's local authentication names \"" + file +
                                 "\", but no folder of local authentication secrets is set "
                                 "(CIMCLIENT_LOCAL_AUTH_DIR, with CIMCLIENT_LOCAL_URL).");
    }
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash == std::string::npos || path.substr(0, slash) != withSlashes(directory) ||
        name.empty() || name == "." || name == ".." || !fitsAField(file)) {
        throw LocalSecretRefused("The server's local authentication names \"" + file +
                                 "\", which is not a file in " + directory + ".");
    }
    const std::string contents = readLocalSecret(directory, name, kMaxLocalSecretBytes, owner);
    if (!fitsAField(contents)) {
        throw LocalSecretRefused("The server's local authentication names \"" + file +
                                 "\", which holds no secret.");
    }
    return "Local \"" + user + ":" + file + ":" + contents + "\"";
}

}  // namespace Pegasus

#include "capture_files.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "http/http_response_reader.h"

using namespace Pegasus;

namespace capture {

std::string directory() { return PEGASUS_CAPTURES_DIR; }

bool exists(const std::string& relativePath) {
    return std::ifstream(directory() + "/" + relativePath).good();
}

std::string readFile(const std::string& relativePath) {
    std::ifstream file(directory() + "/" + relativePath, std::ios::binary);
    if (!file) throw std::runtime_error("missing capture " + relativePath);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string testName(std::string tag) {
    for (char& c : tag) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return tag;
}

std::string Request::header(const std::string& name) const {
    size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<missing>";
    size_t start = at + name.size() + 4;
    return head.substr(start, head.find("\r\n", start) - start);
}

Uint32 Request::messageId() const {
    return std::stoul(body.substr(body.find("MESSAGE ID=\"") + 12));
}

std::vector<Request> requestsIn(const std::string& bytes) {
    std::vector<Request> requests;
    for (size_t offset = 0, headEnd;
         (headEnd = bytes.find("\r\n\r\n", offset)) != std::string::npos;) {
        Request request{bytes.substr(offset, headEnd - offset), ""};
        request.body = bytes.substr(headEnd + 4, std::stoul(request.header("content-length")));
        offset = headEnd + 4 + request.body.size();
        requests.push_back(request);
    }
    return requests;
}

std::vector<http::HttpResponse> responsesIn(const std::string& bytes) {
    std::vector<http::HttpResponse> responses;
    size_t offset = 0;
    while (offset < bytes.size()) {
        http::HttpResponseReader reader(1ull << 30);
        while (offset < bytes.size() && !reader.feed(&bytes[offset], 1)) ++offset;
        if (offset == bytes.size()) {
            reader.endOfStream();
        } else {
            ++offset;
        }
        responses.push_back(reader.response());
    }
    return responses;
}

}  // namespace capture

#include "http/http_response_reader.h"

#include "http/connection_persistence.h"

#include <Pegasus/Client/CIMClientException.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Pegasus {
namespace http {

namespace {

// Header sections beyond these are not a CIM server talking.
const std::size_t kMaxLineBytes = 64 * 1024;
const std::size_t kMaxFields = 1000;
// All lines of the header and the trailer together (interim answers' own
// included): a CIM server sends a few hundred bytes of them.
const std::uint64_t kMaxFieldBytes = 256 * 1024;
// Interim answers and blank lines cost no memory once read, but without a
// count a server could send them until the deadline (the module's is 40 min).
const unsigned kMaxInterimLines = 100;
// What is kept of a body that is not decoded (an error's): no error text a CIM
// server sends comes near it, and nothing reads beyond it.
const std::size_t kKeptErrorBodyBytes = 64 * 1024;

[[noreturn]] void malformed(const std::string& what) {
    throw CIMClientMalformedHTTPException(String::fromUtf8(what));
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool equalNoCase(const std::string& left, const char* right) {
    size_t length = std::strlen(right);
    if (left.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) !=
            std::tolower(static_cast<unsigned char>(right[i]))) {
            return false;
        }
    }
    return true;
}

bool containsTokenNoCase(const std::string& value, const char* token) {
    std::string lower = value;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(token) != std::string::npos;
}

}  // namespace

const std::string* findField(const HeaderFields& fields, const char* name) {
    for (const auto& field : fields) {
        if (equalNoCase(field.first, name)) return &field.second;
    }
    return nullptr;
}

HttpResponseReader::HttpResponseReader(std::uint64_t bodyLimit, BodySink* sink)
    : bodyLimit_(bodyLimit), sink_(sink) {}

bool HttpResponseReader::takeLine(std::string& line) {
    // The limit counts a line with its end, so that it holds alike whether
    // the line arrives whole or byte by byte. Bytes already searched are not
    // searched again: a line that trickles in costs no more than one search.
    size_t end = pending_.find('\n', searchedBytes_);
    size_t lineBytes = end == std::string::npos ? pending_.size() : end + 1;
    if (lineBytes > kMaxLineBytes) malformed("HTTP header line too long");
    if (end == std::string::npos) {
        searchedBytes_ = pending_.size();
        return false;
    }
    if (state_ != State::ChunkSize && state_ != State::ChunkEnd) {
        fieldBytes_ += end + 1;
        if (fieldBytes_ > kMaxFieldBytes) {
            malformed("Response from CIM Server exceeds the limit of " +
                      std::to_string(kMaxFieldBytes) + " bytes of HTTP header and trailer fields.");
        }
    }
    line.assign(pending_, 0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pending_.erase(0, end + 1);
    searchedBytes_ = 0;
    return true;
}

void HttpResponseReader::parseStatusLine(const std::string& line) {
    // "HTTP/1.1 200 OK"
    if (line.compare(0, 5, "HTTP/") != 0)
        malformed("Malformed HTTP status line: " + line.substr(0, 80));
    size_t space = line.find(' ');
    if (space == std::string::npos || line.size() < space + 4) {
        malformed("Malformed HTTP status line: " + line.substr(0, 80));
    }
    std::string code = line.substr(space + 1, 3);
    if (!std::all_of(code.begin(), code.end(), [](unsigned char c) { return std::isdigit(c); })) {
        malformed("Malformed HTTP status line: " + line.substr(0, 80));
    }
    response_.status = static_cast<unsigned>(std::atoi(code.c_str()));
    httpOneZero_ = line.compare(0, 8, "HTTP/1.0") == 0;
    response_.reasonPhrase = line.size() > space + 5 ? line.substr(space + 5) : std::string();
}

void HttpResponseReader::parseField(const std::string& line, HeaderFields& fields) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        malformed("Malformed HTTP header: " + line.substr(0, 80));
    if (fields.size() >= kMaxFields) malformed("Too many HTTP header fields");
    fields.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
}

void HttpResponseReader::startBody() {
    // Interim answers (100 Continue) precede the real one.
    if (response_.status >= 100 && response_.status < 200) {
        countInterimLine();
        response_ = HttpResponse();
        state_ = State::StatusLine;
        return;
    }
    response_.closesConnection = closesAfterResponse(response_.headers, httpOneZero_);
    streaming_ = sink_ != nullptr && sink_->accept(response_);
    const std::string* encoding = findField(response_.headers, "Transfer-Encoding");
    const std::string* length = findField(response_.headers, "Content-Length");
    if (encoding != nullptr && containsTokenNoCase(*encoding, "chunked")) {
        state_ = State::ChunkSize;
    } else if (length != nullptr) {
        char* end = nullptr;
        errno = 0;
        unsigned long long bytes = std::strtoull(length->c_str(), &end, 10);
        if (length->empty() || *end != '\0' || errno != 0 || (*length)[0] == '-') {
            malformed("Bad Content-Length HTTP header: " + *length);
        }
        if (bytes > bodyLimit_) {
            malformed("Response from CIM Server exceeds the limit of " +
                      std::to_string(bodyLimit_) + " bytes.");
        }
        remaining_ = bytes;
        state_ = remaining_ == 0 ? State::Complete : State::Body;
    } else if (response_.status == 204 || response_.status == 304) {
        state_ = State::Complete;
    } else {
        response_.closesConnection = true;
        state_ = State::UntilClose;
    }
}

bool HttpResponseReader::takeBody(State next) {
    if (pending_.empty()) return false;
    size_t take = static_cast<size_t>(std::min<std::uint64_t>(remaining_, pending_.size()));
    appendBody(pending_.data(), take);
    pending_.erase(0, take);
    remaining_ -= take;
    if (remaining_ == 0) state_ = next;
    return true;
}

void HttpResponseReader::appendBody(const char* data, std::size_t size) {
    if (bodyBytes_ + size > bodyLimit_) {
        malformed("Response from CIM Server exceeds the limit of " + std::to_string(bodyLimit_) +
                  " bytes.");
    }
    bodyBytes_ += size;
    if (streaming_) {
        sink_->body(data, size);
        return;
    }
    // The body grows with the bytes received, never with what the server
    // announced; the rest of an error's body is read and dropped.
    std::string& body = response_.body;
    if (response_.status != 200) {
        size = std::min(size, kKeptErrorBodyBytes - std::min(kKeptErrorBodyBytes, body.size()));
    }
    body.append(data, size);
}

void HttpResponseReader::countInterimLine() {
    if (++interimLines_ > kMaxInterimLines) {
        malformed("Response from CIM Server exceeds the limit of " +
                  std::to_string(kMaxInterimLines) + " interim answers and blank lines.");
    }
}

bool HttpResponseReader::feed(const char* data, std::size_t size) {
    if (state_ == State::Complete) return true;
    // Body bytes go straight into the body; only framing lines are buffered.
    while (size > 0 && pending_.empty() &&
           (state_ == State::Body || state_ == State::ChunkData || state_ == State::UntilClose)) {
        size_t take = state_ == State::UntilClose
                          ? size
                          : static_cast<size_t>(std::min<std::uint64_t>(remaining_, size));
        appendBody(data, take);
        data += take;
        size -= take;
        if (state_ == State::UntilClose) return false;
        remaining_ -= take;
        if (remaining_ == 0) state_ = state_ == State::Body ? State::Complete : State::ChunkEnd;
        if (state_ == State::Complete) return true;
    }
    pending_.append(data, size);
    std::string line;
    while (state_ != State::Complete) {
        switch (state_) {
            case State::StatusLine:
                if (!takeLine(line)) return false;
                if (line.empty()) {  // tolerate blank lines before the status line
                    countInterimLine();
                    break;
                }
                parseStatusLine(line);
                state_ = State::Headers;
                break;
            case State::Headers:
                if (!takeLine(line)) return false;
                if (line.empty()) {
                    startBody();
                } else {
                    parseField(line, response_.headers);
                }
                break;
            case State::Body:
                if (!takeBody(State::Complete)) return false;
                break;
            case State::ChunkSize: {
                if (!takeLine(line)) return false;
                std::string size = trim(line.substr(0, line.find(';')));
                char* end = nullptr;
                errno = 0;
                unsigned long long bytes = std::strtoull(size.c_str(), &end, 16);
                if (size.empty() || *end != '\0' || errno != 0 || size[0] == '-') {
                    malformed("Malformed chunk size: " + size.substr(0, 40));
                }
                if (bytes > bodyLimit_ - std::min<std::uint64_t>(bodyLimit_, bodyBytes_)) {
                    malformed("Response from CIM Server exceeds the limit of " +
                              std::to_string(bodyLimit_) + " bytes.");
                }
                remaining_ = bytes;
                state_ = bytes == 0 ? State::Trailers : State::ChunkData;
                break;
            }
            case State::ChunkData:
                if (!takeBody(State::ChunkEnd)) return false;
                break;
            case State::ChunkEnd:
                if (!takeLine(line)) return false;
                if (!line.empty()) malformed("Missing end of chunk");
                state_ = State::ChunkSize;
                break;
            case State::Trailers:
                if (!takeLine(line)) return false;
                if (line.empty()) {
                    state_ = State::Complete;
                } else {
                    parseField(line, response_.trailers);
                }
                break;
            case State::UntilClose:
                appendBody(pending_.data(), pending_.size());
                pending_.clear();
                return false;
            case State::Complete:
                break;
        }
    }
    pending_.clear();
    return true;
}

void HttpResponseReader::endOfStream() {
    if (state_ == State::UntilClose) {
        state_ = State::Complete;
        return;
    }
    if (state_ != State::Complete) malformed("Connection closed by CIM Server.");
}

}  // namespace http
}  // namespace Pegasus

#include "client/response_checks.h"

#include <Pegasus/Client/CIMClientException.h>

#include <cctype>
#include <cstdlib>
#include <string>

namespace Pegasus {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The CIM status of a response that carries it in header or trailer fields
// (OpenPegasus servers answer errors this way when the client sends TE: trailers).
void throwStatusFields(const http::HttpResponse& response) {
    for (const http::HeaderFields* fields : {&response.trailers, &response.headers}) {
        const std::string* code = http::findField(*fields, "CIMStatusCode");
        if (code == nullptr) continue;
        char* end = nullptr;
        unsigned long value = std::strtoul(code->c_str(), &end, 10);
        if (code->empty() || *end != '\0') {
            throw CIMClientMalformedHTTPException(
                String::fromUtf8("Bad CIMStatusCode HTTP header: " + *code));
        }
        if (value == 0) return;
        const std::string* description = http::findField(*fields, "CIMStatusCodeDescription");
        throw CIMException(static_cast<CIMStatusCode>(value),
                           String::fromUtf8(description ? uriDecode(*description) : ""));
    }
}

// OpenPegasus accepts application/xml and text/xml, charset utf-8 or none.
void checkContentType(const http::HttpResponse& response) {
    const std::string* contentType = http::findField(response.headers, "Content-Type");
    std::string value = contentType ? *contentType : std::string();
    std::string lower = lowerCase(value);
    std::string media = lower.substr(0, lower.find(';'));
    while (!media.empty() && media.back() == ' ') media.pop_back();
    bool xml = media == "application/xml" || media == "text/xml";
    size_t charset = lower.find("charset=");
    bool utf8 = charset == std::string::npos || lower.compare(charset + 8, 5, "utf-8") == 0 ||
                lower.compare(charset + 8, 7, "\"utf-8\"") == 0;
    if (!xml || !utf8) {
        throw CIMClientMalformedHTTPException(
            String::fromUtf8("Bad Content-Type HTTP header; " + value));
    }
}

}  // namespace

std::string uriDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool asksForBasicCredentials(const http::HttpResponse& response) {
    if (response.status != 401) return false;
    const std::string* challenge = http::findField(response.headers, "WWW-Authenticate");
    if (challenge == nullptr) return false;
    std::string lower = lowerCase(*challenge);
    if (lower.compare(0, 5, "basic") != 0 || lower.find("realm=") == std::string::npos) {
        throw CIMClientMalformedHTTPException("Invalid Authorization header");
    }
    return true;
}

void checkOperationResponse(const http::HttpResponse& response) {
    if (response.status != 200) {
        const std::string* cimError = http::findField(response.headers, "CIMError");
        const std::string* detail = http::findField(response.headers, "PGErrorDetail");
        throw CIMClientHTTPErrorException(response.status, String::fromUtf8(response.reasonPhrase),
                                          String::fromUtf8(cimError ? *cimError : ""),
                                          String::fromUtf8(detail ? uriDecode(*detail) : ""));
    }
    const std::string* operation = http::findField(response.headers, "CIMOperation");
    if (operation == nullptr) {
        throw CIMClientMalformedHTTPException("Missing CIMOperation HTTP header");
    }
    if (lowerCase(*operation) != "methodresponse") {
        throw CIMClientMalformedHTTPException(
            String::fromUtf8("Received CIMOperation HTTP header value \"" + *operation +
                             "\", expected \"MethodResponse\""));
    }
    checkContentType(response);
    throwStatusFields(response);
}

}  // namespace Pegasus

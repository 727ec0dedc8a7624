#include "cimxml/response_envelope.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <limits>

#include "cimxml/node_checks.h"
#include "cimxml/value_text.h"

namespace Pegasus {
namespace cimxml {

namespace {

void checkName(const Node& response, const char* expected) {
    if (!String::equalNoCase(String(requiredAttribute(response, "NAME")), String(expected))) {
        invalid(response, std::string("Expected ") + response.name() + " NAME=\"" + expected +
                              "\", got \"" + response.attribute("NAME").value() + "\"");
    }
}

[[noreturn]] void throwError(const Node& error) {
    Uint32 code = static_cast<Uint32>(integerFromText(
        requiredAttribute(error, "CODE"), 0, std::numeric_limits<Uint32>::max(), error.line()));
    throw CIMException(static_cast<CIMStatusCode>(code),
                       String(error.attribute("DESCRIPTION").value()));
}

}  // namespace

void ResponseEnvelope::check(Uint32 messageId) {
    Node cim(&tree_, tree_.empty() ? -1 : 0);
    if (!named(cim, "CIM")) invalid(cim, "Expected CIM element");
    Node message = onlyChild(cim, "MESSAGE");
    std::string id = message.attribute("ID").value();
    if (id != std::to_string(messageId)) {
        throw CIMClientResponseException(
            String::fromUtf8("Mismatched response message ID:  Got \"" + id + "\", expected \"" +
                             std::to_string(messageId) + "\"."));
    }
    simpleResponse_ = onlyChild(message, "SIMPLERSP");
}

Node ResponseEnvelope::intrinsicReturn(const char* operation) const {
    Node response = onlyChild(simpleResponse_, "IMETHODRESPONSE");
    checkName(response, operation);
    Node first = response.firstElement();
    if (first && named(first, "ERROR")) throwError(first);
    if (first && !named(first, "IRETURNVALUE")) {
        invalid(first,
                std::string("Expected IRETURNVALUE element, got ") + first.name() + " instead");
    }
    return first;
}

Node ResponseEnvelope::onlyReturned(const char* operation, const char* element) const {
    Node returned = intrinsicReturn(operation);
    if (!returned) invalid(Node(), "Expected IRETURNVALUE element");
    Node only = returned.firstElement();
    if (!only || !named(only, element)) {
        invalid(only ? only : returned, std::string("Expected ") + element + " element");
    }
    Node extra = only.nextElement();
    if (extra) {
        invalid(extra, std::string("Expected close of IRETURNVALUE element, got ") + extra.name() +
                           " instead");
    }
    return only;
}

Node ResponseEnvelope::extrinsicResponse(const std::string& method) const {
    Node response = onlyChild(simpleResponse_, "METHODRESPONSE");
    checkName(response, method.c_str());
    Node first = response.firstElement();
    if (first && named(first, "ERROR")) throwError(first);
    return response;
}

}  // namespace cimxml
}  // namespace Pegasus

#include "cimxml/node_checks.h"

#include <Pegasus/Client/CIMClientException.h>

namespace Pegasus {
namespace cimxml {

void invalid(const Node& node, const std::string& what) {
    throw CIMClientXmlException(
        String::fromUtf8("Validation error: on line " + std::to_string(node.line()) + ": " + what));
}

}  // namespace cimxml
}  // namespace Pegasus

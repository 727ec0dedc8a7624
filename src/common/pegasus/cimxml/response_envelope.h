// The envelope of a CIM-XML response: CIM, MESSAGE (whose ID must be the
// request's) and SIMPLERSP, then the IMETHODRESPONSE or METHODRESPONSE of the
// operation, which carries either what was returned or the server's ERROR.
//
// Takes the element tree of one body, whose root is the CIM element; gives
// the nodes that hold what the operation returned, valid while the tree holds
// them. A response to another request throws CIMClientResponseException, a
// server's ERROR CIMException, a defect of the envelope CIMClientXmlException.
#ifndef PEGASUS_CIMXML_RESPONSE_ENVELOPE_H
#define PEGASUS_CIMXML_RESPONSE_ENVELOPE_H

#include <Pegasus/Common/Config.h>

#include <string>

#include "cimxml/element_tree.h"

namespace Pegasus {
namespace cimxml {

class ResponseEnvelope {
  public:
    // Keeps a reference to `tree`, which must outlive this envelope and every node it gives.
    explicit ResponseEnvelope(const ElementTree& tree) : tree_(tree) {}

    // CIM, MESSAGE with the request's ID, and SIMPLERSP, in that order.
    // Call before the others, once the tree holds them.
    void check(Uint32 messageId);

    // The IMETHODRESPONSE's IRETURNVALUE, or an empty node when the response
    // has none.
    Node intrinsicReturn(const char* operation) const;

    // The one element of the IRETURNVALUE of a GetInstance or GetClass
    // response, which must be named `element`.
    Node onlyReturned(const char* operation, const char* element) const;

    // The METHODRESPONSE of an extrinsic method, its RETURNVALUE and
    // PARAMVALUEs not yet read.
    Node extrinsicResponse(const std::string& method) const;

  private:
    const ElementTree& tree_;
    Node simpleResponse_;
};

}  // namespace cimxml
}  // namespace Pegasus

#endif

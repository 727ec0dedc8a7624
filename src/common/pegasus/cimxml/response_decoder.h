// Turns CIM-XML response bodies into CIM objects (pugixml; no network).
// Every defect of the body is a CIMClientXmlException whose text follows
// OpenPegasus ("Closing element does not match opening element: on line 7",
// "Validation error: on line 7: ..."); a server error is a CIMException; a
// response to another request a CIMClientResponseException.
#ifndef PEGASUS_CIMXML_RESPONSE_DECODER_H
#define PEGASUS_CIMXML_RESPONSE_DECODER_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>

#include <string>

namespace Pegasus {
namespace cimxml {

// The instances of an EnumerateInstances response, with paths taken from
// their INSTANCENAMEs (no host, no namespace). The body is parsed in place and
// left modified.
Array<CIMInstance> decodeEnumerateInstances(std::string& body, Uint32 messageId);

// The single INSTANCE of a GetInstance response; its path is its class name.
CIMInstance decodeGetInstance(std::string& body, Uint32 messageId);

// The return value of an extrinsic method call (a null boolean when the
// server sent no RETURNVALUE); the output parameters replace outParameters.
CIMValue decodeInvokeMethod(std::string& body, Uint32 messageId, const CIMName& methodName,
                            Array<CIMParamValue>& outParameters);

}  // namespace cimxml
}  // namespace Pegasus

#endif

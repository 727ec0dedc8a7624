// CIM-XML request bodies and the CIM-specific HTTP header values of the
// operations, laid out as OpenPegasus's client writes them (one element per
// line, parameters omitted where OpenPegasus omits them). No network here.
#ifndef PEGASUS_CIMXML_REQUEST_ENCODER_H
#define PEGASUS_CIMXML_REQUEST_ENCODER_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>

#include <string>

namespace Pegasus {
namespace cimxml {

// What one operation puts on the wire besides the common HTTP headers.
struct EncodedRequest {
    std::string cimMethod;  // value of the CIMMethod header, e.g. "EnumerateInstances"
    std::string cimObject;  // value of the CIMObject header, URI-encoded
    std::string body;       // the XML document
};

EncodedRequest encodeEnumerateInstances(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                        const CIMName& className, bool deepInheritance,
                                        bool localOnly, bool includeQualifiers,
                                        bool includeClassOrigin,
                                        const CIMPropertyList& propertyList);

// The host and namespace of `instanceName` are not sent; `nameSpace` is.
EncodedRequest encodeGetInstance(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName, bool localOnly,
                                 bool includeQualifiers, bool includeClassOrigin,
                                 const CIMPropertyList& propertyList);

// The target is sent under `nameSpace` without its host; a keyless target is
// a class (static method call). Reference parameters keep their own host and
// namespace.
EncodedRequest encodeInvokeMethod(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, const CIMName& methodName,
                                  const Array<CIMParamValue>& inParameters);

EncodedRequest encodeGetClass(Uint32 messageId, const CIMNamespaceName& nameSpace,
                              const CIMName& className, bool localOnly, bool includeQualifiers,
                              bool includeClassOrigin, const CIMPropertyList& propertyList);

// Percent-encodes everything but letters, digits and -_.!~*'() .
std::string uriEncode(const std::string& text);

}  // namespace cimxml
}  // namespace Pegasus

#endif

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const CIMValue& value) : name_(name) {
    if (value.isArray() || value.isNull()) throw TypeMismatchException();
    switch (value.getType()) {
        case CIMTYPE_BOOLEAN:
            type_ = BOOLEAN;
            break;
        case CIMTYPE_UINT8:
        case CIMTYPE_SINT8:
        case CIMTYPE_UINT16:
        case CIMTYPE_SINT16:
        case CIMTYPE_UINT32:
        case CIMTYPE_SINT32:
        case CIMTYPE_UINT64:
        case CIMTYPE_SINT64:
            type_ = NUMERIC;
            break;
        case CIMTYPE_CHAR16:
        case CIMTYPE_STRING:
        case CIMTYPE_DATETIME:
            type_ = STRING;
            break;
        case CIMTYPE_REFERENCE:
            type_ = REFERENCE;
            break;
        default:
            throw TypeMismatchException();
    }
    value_ = value.toString();
}

}  // namespace Pegasus

#ifndef PEGASUS_COMMON_CIMPARAMVALUE_H
#define PEGASUS_COMMON_CIMPARAMVALUE_H

#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/String.h>

namespace Pegasus {

// A named method parameter. A typed parameter is sent with its PARAMTYPE; an
// untyped one arrives as a string (the server did not say its type).
// A plain value type.
class CIMParamValue {
  public:
    CIMParamValue() = default;
    CIMParamValue(const String& parameterName, const CIMValue& value, Boolean isTyped = true)
        : name_(parameterName), value_(value), isTyped_(isTyped) {}

    const String& getParameterName() const { return name_; }
    void setParameterName(const String& parameterName) { name_ = parameterName; }
    const CIMValue& getValue() const { return value_; }
    void setValue(const CIMValue& value) { value_ = value; }
    Boolean isTyped() const { return isTyped_; }
    void setIsTyped(Boolean isTyped = true) { isTyped_ = isTyped; }

  private:
    String name_;
    CIMValue value_;
    Boolean isTyped_ = true;
};

}  // namespace Pegasus

#endif

#include <Pegasus/Common/CIMProperty.h>

#include "qualifier_list.h"

namespace Pegasus {

// Kept small: a large enumeration holds hundreds of thousands of these.
struct CIMProperty::Rep {
    CIMName name;
    CIMValue value;
    CIMName referenceClassName;
    CIMName classOrigin;
    QualifierList qualifiers;
    Uint32 arraySize = 0;
    Boolean propagated = false;
};

CIMProperty::CIMProperty() : rep_(std::make_shared<Rep>()) {}

CIMProperty::CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                         const CIMName& referenceClassName, const CIMName& classOrigin,
                         Boolean propagated)
    : rep_(std::make_shared<Rep>()) {
    rep_->name = name;
    rep_->value = value;
    rep_->arraySize = arraySize;
    rep_->referenceClassName = referenceClassName;
    rep_->classOrigin = classOrigin;
    rep_->propagated = propagated;
}

CIMProperty::CIMProperty(const CIMProperty&) = default;
CIMProperty& CIMProperty::operator=(const CIMProperty&) = default;
CIMProperty::~CIMProperty() = default;

// Copies share one Rep until one of them changes; then that one gets its own.
CIMProperty::Rep& CIMProperty::writable() {
    if (rep_.use_count() > 1) rep_ = std::make_shared<Rep>(*rep_);
    return *rep_;
}

const CIMName& CIMProperty::getName() const { return rep_->name; }
const CIMValue& CIMProperty::getValue() const { return rep_->value; }
void CIMProperty::setValue(const CIMValue& value) { writable().value = value; }
CIMType CIMProperty::getType() const { return rep_->value.getType(); }
Boolean CIMProperty::isArray() const { return rep_->value.isArray(); }
Uint32 CIMProperty::getArraySize() const { return rep_->arraySize; }
const CIMName& CIMProperty::getReferenceClassName() const { return rep_->referenceClassName; }
const CIMName& CIMProperty::getClassOrigin() const { return rep_->classOrigin; }
void CIMProperty::setClassOrigin(const CIMName& classOrigin) {
    writable().classOrigin = classOrigin;
}
Boolean CIMProperty::getPropagated() const { return rep_->propagated; }
void CIMProperty::setPropagated(Boolean propagated) { writable().propagated = propagated; }

CIMProperty& CIMProperty::addQualifier(const CIMQualifier& qualifier) {
    writable().qualifiers.add(qualifier);
    return *this;
}

Uint32 CIMProperty::findQualifier(const CIMName& name) const { return rep_->qualifiers.find(name); }
CIMQualifier CIMProperty::getQualifier(Uint32 index) { return rep_->qualifiers.get(index); }
CIMConstQualifier CIMProperty::getQualifier(Uint32 index) const {
    return rep_->qualifiers.get(index);
}
Uint32 CIMProperty::getQualifierCount() const { return rep_->qualifiers.count(); }

}  // namespace Pegasus

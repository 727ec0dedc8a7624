#include <Pegasus/Common/CIMProperty.h>

#include <utility>

#include "objects/property_rep.h"

namespace Pegasus {

namespace {

const CIMName& nullName() {
    static const CIMName none;
    return none;
}

}  // namespace

CIMProperty::CIMProperty() : rep_(std::make_shared<Rep>()) {}

CIMProperty::CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                         const CIMName& referenceClassName, const CIMName& classOrigin,
                         Boolean propagated)
    : CIMProperty(name, CIMValue(value), arraySize, referenceClassName, classOrigin, propagated) {}

CIMProperty::CIMProperty(const CIMName& name, CIMValue&& value, Uint32 arraySize,
                         const CIMName& referenceClassName, const CIMName& classOrigin,
                         Boolean propagated)
    : rep_(std::make_shared<Rep>()) {
    rep_->name = name;
    rep_->nameKey = Rep::keyOf(name);
    rep_->value = std::move(value);
    rep_->arraySize = arraySize;
    if (!referenceClassName.isNull() || !classOrigin.isNull()) {
        Rep::Rare& rare = rep_->writableRare();
        rare.referenceClassName = referenceClassName;
        rare.classOrigin = classOrigin;
    }
    rep_->propagated = propagated;
}

CIMProperty::CIMProperty(std::shared_ptr<Rep> rep) : rep_(std::move(rep)) {}
CIMProperty::CIMProperty(const CIMProperty&) = default;
CIMProperty& CIMProperty::operator=(const CIMProperty&) = default;
CIMProperty::~CIMProperty() = default;

// Copies share one Rep (or the instance's block it points into) until one
// of them changes; then that one gets its own.
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
const CIMName& CIMProperty::getReferenceClassName() const {
    return rep_->rare ? rep_->rare->referenceClassName : nullName();
}
const CIMName& CIMProperty::getClassOrigin() const {
    return rep_->rare ? rep_->rare->classOrigin : nullName();
}
void CIMProperty::setClassOrigin(const CIMName& classOrigin) {
    writable().writableRare().classOrigin = classOrigin;
}
Boolean CIMProperty::getPropagated() const { return rep_->propagated; }
void CIMProperty::setPropagated(Boolean propagated) { writable().propagated = propagated; }

CIMProperty& CIMProperty::addQualifier(CIMQualifier qualifier) {
    writable().writableRare().qualifiers.add(std::move(qualifier));
    return *this;
}

Uint32 CIMProperty::findQualifier(const CIMName& name) const {
    return rep_->rare ? rep_->rare->qualifiers.find(name) : PEG_NOT_FOUND;
}
CIMQualifier CIMProperty::getQualifier(Uint32 index) {
    if (!rep_->rare) throwIndexOutOfBounds();
    return rep_->rare->qualifiers.get(index);
}
CIMConstQualifier CIMProperty::getQualifier(Uint32 index) const {
    if (!rep_->rare) throwIndexOutOfBounds();
    return rep_->rare->qualifiers.get(index);
}
Uint32 CIMProperty::getQualifierCount() const {
    return rep_->rare ? rep_->rare->qualifiers.count() : 0;
}

}  // namespace Pegasus

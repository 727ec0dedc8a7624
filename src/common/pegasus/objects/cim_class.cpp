#include <Pegasus/Common/CIMClass.h>

#include "objects/name_index.h"
#include "objects/qualifier_list.h"

namespace Pegasus {

// A class is read once per client, not by the hundred thousand like
// instances, so its properties are plain CIMProperty values.
struct CIMClass::Rep {
    CIMName className;
    CIMName superClassName;
    Array<CIMProperty> properties;
    QualifierList qualifiers;
    NameIndex index;
};

CIMClass::CIMClass() : rep_(std::make_shared<Rep>()) {}

CIMClass::CIMClass(const CIMName& className, const CIMName& superClassName)
    : rep_(std::make_shared<Rep>()) {
    rep_->className = className;
    rep_->superClassName = superClassName;
}

CIMClass::CIMClass(const CIMClass&) = default;
CIMClass& CIMClass::operator=(const CIMClass&) = default;
CIMClass::~CIMClass() = default;

CIMClass::Rep& CIMClass::writable() {
    if (rep_.use_count() > 1) rep_ = std::make_shared<Rep>(*rep_);
    return *rep_;
}

Boolean CIMClass::isUninitialized() const { return rep_->className.isNull(); }
const CIMName& CIMClass::getClassName() const { return rep_->className; }
const CIMName& CIMClass::getSuperClassName() const { return rep_->superClassName; }
void CIMClass::setSuperClassName(const CIMName& superClassName) {
    writable().superClassName = superClassName;
}

// Replacing a repeated name keeps findProperty and getPropertyCount in
// agreement whatever the server sends.
CIMClass& CIMClass::addProperty(const CIMProperty& property) {
    Uint32 index = findProperty(property.getName());
    Rep& rep = writable();
    if (index == PEG_NOT_FOUND) {
        rep.properties.append(property);
        rep.index.appended(rep.properties.size(), [&rep](Uint32 i) -> const CIMName& {
            return rep.properties[i].getName();
        });
    } else {
        rep.properties[index] = property;
    }
    return *this;
}

Uint32 CIMClass::findProperty(const CIMName& name) const {
    if (rep_->index.active()) return rep_->index.find(name);
    for (Uint32 i = 0; i < rep_->properties.size(); ++i) {
        if (rep_->properties[i].getName() == name) return i;
    }
    return PEG_NOT_FOUND;
}

CIMProperty CIMClass::getProperty(Uint32 index) { return rep_->properties[index]; }
CIMConstProperty CIMClass::getProperty(Uint32 index) const { return rep_->properties[index]; }
Uint32 CIMClass::getPropertyCount() const { return rep_->properties.size(); }

CIMClass& CIMClass::addQualifier(const CIMQualifier& qualifier) {
    writable().qualifiers.add(qualifier);
    return *this;
}

Uint32 CIMClass::findQualifier(const CIMName& name) const { return rep_->qualifiers.find(name); }
CIMQualifier CIMClass::getQualifier(Uint32 index) { return rep_->qualifiers.get(index); }
CIMConstQualifier CIMClass::getQualifier(Uint32 index) const { return rep_->qualifiers.get(index); }
Uint32 CIMClass::getQualifierCount() const { return rep_->qualifiers.count(); }

}  // namespace Pegasus

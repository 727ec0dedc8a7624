#include <Pegasus/Common/CIMInstance.h>

#include "qualifier_list.h"

namespace Pegasus {

struct CIMInstance::Rep {
    CIMName className;
    CIMObjectPath path;
    Array<CIMProperty> properties;
    QualifierList qualifiers;
};

CIMInstance::CIMInstance() : rep_(std::make_shared<Rep>()) {}

CIMInstance::CIMInstance(const CIMName& className) : rep_(std::make_shared<Rep>()) {
    rep_->className = className;
    rep_->path.setClassName(className);
}

CIMInstance::CIMInstance(const CIMInstance&) = default;
CIMInstance& CIMInstance::operator=(const CIMInstance&) = default;
CIMInstance::~CIMInstance() = default;

// Copies share one Rep until one of them changes; then that one gets its own.
CIMInstance::Rep& CIMInstance::writable() {
    if (rep_.use_count() > 1) rep_ = std::make_shared<Rep>(*rep_);
    return *rep_;
}

Boolean CIMInstance::isUninitialized() const { return rep_->className.isNull(); }
const CIMName& CIMInstance::getClassName() const { return rep_->className; }
const CIMObjectPath& CIMInstance::getPath() const { return rep_->path; }
void CIMInstance::setPath(const CIMObjectPath& path) { writable().path = path; }

// A property of a name already present replaces it, so that findProperty and
// getPropertyCount agree even for a server that repeats a property.
CIMInstance& CIMInstance::addProperty(const CIMProperty& property) {
    Rep& rep = writable();
    Uint32 index = findProperty(property.getName());
    if (index == PEG_NOT_FOUND) {
        rep.properties.append(property);
    } else {
        rep.properties[index] = property;
    }
    return *this;
}

Uint32 CIMInstance::findProperty(const CIMName& name) const {
    const std::string& wanted = name.getString().utf8();
    const Array<CIMProperty>& properties = rep_->properties;
    for (Uint32 i = 0; i < properties.size(); ++i) {
        // The length test first: most names differ in length.
        const std::string& candidate = properties[i].getName().getString().utf8();
        if (candidate.size() == wanted.size() && properties[i].getName() == name) return i;
    }
    return PEG_NOT_FOUND;
}

CIMProperty CIMInstance::getProperty(Uint32 index) { return rep_->properties[index]; }
CIMConstProperty CIMInstance::getProperty(Uint32 index) const { return rep_->properties[index]; }
void CIMInstance::removeProperty(Uint32 index) { writable().properties.remove(index); }
Uint32 CIMInstance::getPropertyCount() const { return rep_->properties.size(); }

CIMInstance& CIMInstance::addQualifier(const CIMQualifier& qualifier) {
    writable().qualifiers.add(qualifier);
    return *this;
}

Uint32 CIMInstance::findQualifier(const CIMName& name) const { return rep_->qualifiers.find(name); }
CIMQualifier CIMInstance::getQualifier(Uint32 index) { return rep_->qualifiers.get(index); }
CIMConstQualifier CIMInstance::getQualifier(Uint32 index) const {
    return rep_->qualifiers.get(index);
}
Uint32 CIMInstance::getQualifierCount() const { return rep_->qualifiers.count(); }

}  // namespace Pegasus

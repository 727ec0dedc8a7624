#include <Pegasus/Common/CIMInstance.h>

#include <utility>
#include <vector>

#include "objects/name_index.h"
#include "objects/property_rep.h"
#include "objects/qualifier_list.h"

namespace Pegasus {

struct CIMInstance::Rep {
    CIMName className;
    CIMObjectPath path;
    // The properties' contents side by side; the CIMProperty objects handed
    // out point in here and keep the whole Rep alive.
    std::vector<CIMProperty::Rep> properties;
    QualifierList qualifiers;
    NameIndex index;

    Uint32 count() const { return static_cast<Uint32>(properties.size()); }
    auto nameAt() const {
        return [this](Uint32 i) -> const CIMName& { return properties[i].name; };
    }

    Uint32 find(const CIMName& name, Uint16 key) const {
        if (index.active()) return index.find(name);
        for (size_t i = 0; i < properties.size(); ++i) {
            if (properties[i].nameKey == key && properties[i].name == name) {
                return static_cast<Uint32>(i);
            }
        }
        return PEG_NOT_FOUND;
    }

    // A property of a name already present replaces it, so that findProperty
    // and getPropertyCount agree even for a server that repeats a property.
    void add(CIMProperty::Rep&& property) {
        Uint32 position = find(property.name, property.nameKey);
        if (position == PEG_NOT_FOUND) {
            properties.push_back(std::move(property));
            index.appended(count(), nameAt());
        } else {
            properties[position] = std::move(property);
        }
    }
};

CIMInstance::CIMInstance() : rep_(std::make_shared<Rep>()) {}

CIMInstance::CIMInstance(const CIMName& className) : rep_(std::make_shared<Rep>()) {
    rep_->className = className;
    rep_->path.setClassName(className);
}

CIMInstance::CIMInstance(const CIMInstance&) = default;
CIMInstance& CIMInstance::operator=(const CIMInstance&) = default;
CIMInstance::~CIMInstance() = default;

// Copies, and the properties handed out, share one Rep until the instance
// changes; then it gets its own and they keep what they saw.
CIMInstance::Rep& CIMInstance::writable() {
    if (rep_.use_count() > 1) rep_ = std::make_shared<Rep>(*rep_);
    return *rep_;
}

Boolean CIMInstance::isUninitialized() const { return rep_->className.isNull(); }
const CIMName& CIMInstance::getClassName() const { return rep_->className; }
const CIMObjectPath& CIMInstance::getPath() const { return rep_->path; }
void CIMInstance::setPath(const CIMObjectPath& path) { writable().path = path; }

CIMInstance& CIMInstance::addProperty(const CIMProperty& property) {
    CIMProperty::Rep copy(*property.rep_);
    writable().add(std::move(copy));
    return *this;
}

// The contents of a property being handed over: taken when nothing else
// shares them, copied otherwise. The moved-from property is left valid but
// unspecified, as moved-from objects are.
CIMProperty::Rep CIMInstance::taken(CIMProperty&& property) {
    if (property.rep_.use_count() != 1) return *property.rep_;
    return std::move(*property.rep_);
}

CIMInstance& CIMInstance::addProperty(CIMProperty&& property) {
    writable().add(taken(std::move(property)));
    return *this;
}

void CIMInstance::setProperty(Uint32 index, CIMProperty&& property) {
    if (index >= rep_->properties.size()) throwIndexOutOfBounds();
    writable().properties[index] = taken(std::move(property));
}

void CIMInstance::reserveProperties(Uint32 count) { writable().properties.reserve(count); }

Uint32 CIMInstance::findProperty(const CIMName& name) const {
    return rep_->find(name, CIMProperty::Rep::keyOf(name));
}

CIMProperty CIMInstance::getProperty(Uint32 index) {
    if (index >= rep_->properties.size()) throwIndexOutOfBounds();
    return CIMProperty(std::shared_ptr<CIMProperty::Rep>(rep_, &rep_->properties[index]));
}
CIMConstProperty CIMInstance::getProperty(Uint32 index) const {
    return const_cast<CIMInstance*>(this)->getProperty(index);
}
void CIMInstance::removeProperty(Uint32 index) {
    if (index >= rep_->properties.size()) throwIndexOutOfBounds();
    Rep& rep = writable();
    rep.properties.erase(rep.properties.begin() + index);
    rep.index.rebuild(rep.count(), rep.nameAt());
}
Uint32 CIMInstance::getPropertyCount() const {
    return static_cast<Uint32>(rep_->properties.size());
}

CIMInstance& CIMInstance::addQualifier(CIMQualifier qualifier) {
    writable().qualifiers.add(std::move(qualifier));
    return *this;
}

Uint32 CIMInstance::findQualifier(const CIMName& name) const { return rep_->qualifiers.find(name); }
CIMQualifier CIMInstance::getQualifier(Uint32 index) { return rep_->qualifiers.get(index); }
CIMConstQualifier CIMInstance::getQualifier(Uint32 index) const {
    return rep_->qualifiers.get(index);
}
Uint32 CIMInstance::getQualifierCount() const { return rep_->qualifiers.count(); }

}  // namespace Pegasus

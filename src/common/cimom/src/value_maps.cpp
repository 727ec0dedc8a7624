#include "value_maps.h"

#include <Pegasus/Common/CIMQualifier.h>

#include <algorithm>
#include <cctype>

#include "dmtf_value_maps.h"
#include "pegasus_text.h"

namespace {

std::string Folded(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

// The declaration of `name` in `cimClass` slimmed to its ValueMap and Values, or nullopt when it
// has neither or the class declares no such property.
std::optional<Pegasus::CIMProperty> SlimDeclaration(const Pegasus::CIMConstClass& cimClass,
                                                    const std::string& name) {
    const Pegasus::Uint32 index = cimClass.findProperty(Pegasus::CIMName(name.c_str()));
    if (index == Pegasus::PEG_NOT_FOUND) {
        return std::nullopt;
    }
    const Pegasus::CIMConstProperty declaration = cimClass.getProperty(index);
    std::optional<Pegasus::CIMProperty> slim;
    for (const char* qualifier : {"ValueMap", "Values"}) {
        const Pegasus::Uint32 at = declaration.findQualifier(Pegasus::CIMName(qualifier));
        if (at == Pegasus::PEG_NOT_FOUND) {
            continue;
        }
        if (!slim) {
            slim.emplace(declaration.getName(), declaration.getValue());
        }
        const Pegasus::CIMConstQualifier found = declaration.getQualifier(at);
        slim->addQualifier(Pegasus::CIMQualifier(found.getName(), found.getValue()));
    }
    return slim;
}

}  // namespace

ValueMaps::ValueMaps(ClassFetch fetch) : fetch(std::move(fetch)) {}

const Pegasus::CIMProperty* ValueMaps::Find(const Pegasus::CIMName& className,
                                            const std::string& property,
                                            const PropertyMap& wanted) {
    ClassMaps& maps = classes[Folded(ToText(className.getString()))];
    auto found = maps.properties.find(Folded(property));
    if (found == maps.properties.end() && !maps.failed) {
        Pegasus::CIMClass cimClass;
        if (fetch(className, cimClass)) {
            const Pegasus::CIMConstClass declarations(cimClass);
            for (const auto& entry : wanted) {
                maps.properties[Folded(entry.first)] = SlimDeclaration(declarations, entry.first);
            }
            maps.properties[Folded(property)] = SlimDeclaration(declarations, property);
            found = maps.properties.find(Folded(property));
        } else {
            maps.failed = true;
        }
    }
    if (found == maps.properties.end()) {
        return DmtfValueMap(property);
    }
    return found->second ? &*found->second : nullptr;
}

void ValueMaps::NewRequest() {
    for (auto& entry : classes) {
        entry.second.failed = false;
    }
}

void ValueMaps::Clear() { classes.clear(); }

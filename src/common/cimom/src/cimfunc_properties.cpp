// Reading CIM instances into texts: property maps with value-map translation, key values.

#include <Pegasus/Common/Exception.h>

#include "cim_property_names.h"
#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"

namespace {

const char* const kBlankCharacters = " \f\n\t\r\v";

// Whether the server sent this property's declaration along with it. OpenPegasus servers keep
// property qualifiers off instances, all but the ones that type a value (EmbeddedObject,
// EmbeddedInstance); a copy carrying nothing else says nothing about a value map, so the class
// must be asked. A copy carrying any other qualifier is the server's whole declaration, and a
// value map missing from it does not exist.
bool CarriesItsDeclaration(const Pegasus::CIMConstProperty& property) {
    static const Pegasus::CIMName embeddedObject("EmbeddedObject");
    static const Pegasus::CIMName embeddedInstance("EmbeddedInstance");
    for (Pegasus::Uint32 index = 0; index < property.getQualifierCount(); ++index) {
        const Pegasus::CIMName name = property.getQualifier(index).getName();
        if (!name.equal(embeddedObject) && !name.equal(embeddedInstance)) {
            return true;
        }
    }
    return false;
}

bool HasValueMapQualifier(const Pegasus::CIMConstProperty& property) {
    return property.findQualifier(Pegasus::CIMName(CimPropertyNames::Values)) !=
               Pegasus::PEG_NOT_FOUND ||
           property.findQualifier(Pegasus::CIMName(CimPropertyNames::ValueMap)) !=
               Pegasus::PEG_NOT_FOUND;
}

// The text of `value` translated through the ValueMap and Values qualifiers of
// `qualifierSource`: the property itself, or its declaration in the class.
std::string TranslatedText(const Pegasus::CIMConstProperty& qualifierSource,
                           const Pegasus::CIMValue& value) {
    const Pegasus::Uint32 valuesIndex =
        qualifierSource.findQualifier(Pegasus::CIMName(CimPropertyNames::Values));
    const Pegasus::Uint32 valueMapIndex =
        qualifierSource.findQualifier(Pegasus::CIMName(CimPropertyNames::ValueMap));
    if (valuesIndex == Pegasus::PEG_NOT_FOUND || valueMapIndex == Pegasus::PEG_NOT_FOUND) {
        return CimFunc::Trim(ToText(value.toString()));
    }
    VORNET_LOG(4) << " processing value maps ...";
    const Pegasus::CIMValue values = qualifierSource.getQualifier(valuesIndex).getValue();
    const Pegasus::CIMValue valueMap = qualifierSource.getQualifier(valueMapIndex).getValue();
    if (!values.isArray() || !valueMap.isArray()) {
        return std::string();
    }
    const std::string code = CimFunc::Trim(ToText(value.toString()));
    Pegasus::Array<Pegasus::String> codes;
    valueMap.get(codes);
    for (Pegasus::Uint32 index = 0; index < codes.size(); ++index) {
        const std::string candidate = ToText(codes[index]);
        VORNET_LOG(4) << "_" << Vornet::EscapedControls(candidate) << "-"
                      << Vornet::EscapedControls(code) << "_";
        if (candidate == code) {
            Pegasus::Array<Pegasus::String> texts;
            values.get(texts);
            // A Values list shorter than its ValueMap is the provider's fault; the library's
            // index check reports it and costs only this property.
            return ToText(texts[index]);
        }
    }
    return std::string();
}

void FillProperties(const Pegasus::CIMInstance& instance, bool raw, PropertyMap& properties,
                    ValueMaps* classes) {
    if (Vornet::Log::GetMinLogLevel() >= 4) {
        VORNET_LOG(4) << "Showing properties for " << LogText(instance.getPath().toString());
    }
    for (auto& entry : properties) {
        const std::string& name = entry.first;
        try {
            const Pegasus::CIMName propertyName(name.c_str());
            const Pegasus::Uint32 index = instance.findProperty(propertyName);
            if (index == Pegasus::PEG_NOT_FOUND) {
                VORNET_LOG(2) << "Property " << name << " is not found!";
                continue;
            }
            const Pegasus::CIMConstProperty property = instance.getProperty(index);
            const std::string libraryText = ToText(property.getValue().toString());
            const Pegasus::CIMProperty* declaration = nullptr;
            if (raw) {
                entry.second = CimFunc::Trim(libraryText);
            } else if (classes != nullptr && !HasValueMapQualifier(property) &&
                       !CarriesItsDeclaration(property) &&
                       (declaration = classes->Find(instance.getClassName(), name, properties)) !=
                           nullptr) {
                entry.second = TranslatedText(*declaration, property.getValue());
            } else {
                entry.second = TranslatedText(property, property.getValue());
            }
            VORNET_LOG(4) << name << " = " << Vornet::EscapedControls(entry.second)
                          << " with raw data (" << Vornet::EscapedControls(libraryText) << ")";
        } catch (const Pegasus::Exception& error) {
            VORNET_LOG(1) << "Get properties from CIM instance failed with the reason: "
                          << LogText(error.getMessage());
        }
    }
}

}  // namespace

void CimFunc::GetProperties(const Pegasus::CIMInstance& instance, PropertyMap& properties) {
    FillProperties(instance, false, properties, nullptr);
}

void CimFunc::GetProperties(const Pegasus::CIMInstance& instance, PropertyMap& properties,
                            ValueMaps* classes) {
    FillProperties(instance, false, properties, classes);
}

void CimFunc::GetProperties(const Pegasus::CIMInstance& instance, bool raw,
                            PropertyMap& properties) {
    FillProperties(instance, raw, properties, nullptr);
}

std::string CimFunc::GetPropertyValue(const Pegasus::CIMConstProperty& property) {
    return TranslatedText(property, property.getValue());
}

Pegasus::String CimFunc::GetKeyValue(const Pegasus::Array<Pegasus::CIMKeyBinding>& keyBindings,
                                     const Pegasus::String& name) {
    for (Pegasus::Uint32 index = 0; index < keyBindings.size(); ++index) {
        if (keyBindings[index].getName().getString() == name) {
            VORNET_LOG(4) << "Key value of " << LogText(name) << " is "
                          << LogText(keyBindings[index].getValue());
            return keyBindings[index].getValue();
        }
    }
    return Pegasus::String();
}

std::string CimFunc::Trim(std::string text) {
    text.erase(text.find_last_not_of(kBlankCharacters) + 1);
    text.erase(0, text.find_first_not_of(kBlankCharacters));
    return text;
}

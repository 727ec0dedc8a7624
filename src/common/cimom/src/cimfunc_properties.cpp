// Reading CIM instances into texts: property maps with value-map translation, key values.

#include <Pegasus/Common/Exception.h>

#include "cim_property_names.h"
#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"

namespace {

const char* const kBlankCharacters = " \f\n\t\r\v";

void FillProperties(const Pegasus::CIMInstance& instance, bool raw, PropertyMap& properties) {
    if (Vornet::Log::GetMinLogLevel() >= 4) {
        VORNET_LOG(4) << "Showing properties for " << ToText(instance.getPath().toString());
    }
    for (auto& entry : properties) {
        const std::string& name = entry.first;
        try {
            const Pegasus::Uint32 index = instance.findProperty(Pegasus::CIMName(name.c_str()));
            if (index == Pegasus::PEG_NOT_FOUND) {
                VORNET_LOG(2) << "Property " << name << " is not found!";
                continue;
            }
            const Pegasus::CIMConstProperty property = instance.getProperty(index);
            const std::string libraryText = ToText(property.getValue().toString());
            entry.second = raw ? CimFunc::Trim(libraryText) : CimFunc::GetPropertyValue(property);
            VORNET_LOG(4) << name << " = " << entry.second << " with raw data (" << libraryText
                          << ")";
        } catch (const Pegasus::Exception& error) {
            VORNET_LOG(1) << "Get properties from CIM instance failed with the reason: "
                          << ToText(error.getMessage());
        }
    }
}

}  // namespace

void CimFunc::GetProperties(const Pegasus::CIMInstance& instance, PropertyMap& properties) {
    FillProperties(instance, false, properties);
}

void CimFunc::GetProperties(const Pegasus::CIMInstance& instance, bool raw,
                            PropertyMap& properties) {
    FillProperties(instance, raw, properties);
}

std::string CimFunc::GetPropertyValue(const Pegasus::CIMConstProperty& property) {
    const Pegasus::Uint32 valuesIndex =
        property.findQualifier(Pegasus::CIMName(CimPropertyNames::Values));
    const Pegasus::Uint32 valueMapIndex =
        property.findQualifier(Pegasus::CIMName(CimPropertyNames::ValueMap));
    if (valuesIndex == Pegasus::PEG_NOT_FOUND || valueMapIndex == Pegasus::PEG_NOT_FOUND) {
        return Trim(ToText(property.getValue().toString()));
    }
    VORNET_LOG(4) << " processing value maps ...";
    const Pegasus::CIMValue values = property.getQualifier(valuesIndex).getValue();
    const Pegasus::CIMValue valueMap = property.getQualifier(valueMapIndex).getValue();
    if (!values.isArray() || !valueMap.isArray()) {
        return std::string();
    }
    const std::string code = Trim(ToText(property.getValue().toString()));
    Pegasus::Array<Pegasus::String> codes;
    valueMap.get(codes);
    for (Pegasus::Uint32 index = 0; index < codes.size(); ++index) {
        const std::string candidate = ToText(codes[index]);
        VORNET_LOG(4) << "_" << candidate << "-" << code << "_";
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

Pegasus::String CimFunc::GetKeyValue(const Pegasus::Array<Pegasus::CIMKeyBinding>& keyBindings,
                                     const Pegasus::String& name) {
    for (Pegasus::Uint32 index = 0; index < keyBindings.size(); ++index) {
        if (keyBindings[index].getName().getString() == name) {
            VORNET_LOG(4) << "Key value of " << ToText(name) << " is "
                          << ToText(keyBindings[index].getValue());
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

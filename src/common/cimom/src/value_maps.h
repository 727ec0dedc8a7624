#ifndef VORNET_VALUE_MAPS_H
#define VORNET_VALUE_MAPS_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "property_map.h"

// The value maps of the properties one call of the facade reads, from the declarations of their
// classes. OpenPegasus servers never put property qualifiers on instances, so the ValueMap and
// Values that turn a code into its display text are found only in the class (asked for not local
// only, with qualifiers, so that a property inherits its ancestors' maps and a vendor subclass's
// own take their place). Of a fetched class only the two qualifiers of the properties read are
// kept, and only until Clear(): a host keeps thousands of these objects between calls.
//
// A class that cannot be had is asked again when a later request of the call needs it, never
// twice for one request (NewRequest() marks a new one); meanwhile the DMTF schema's value maps
// (dmtf_value_maps.h) stand in for the standard properties the module interprets. Not copyable;
// one caller at a time.
class ValueMaps {
  public:
    // Fetches one class into its second argument; false when it could not be had, having logged
    // why. Never throws the CIM library's exceptions.
    using ClassFetch = std::function<bool(const Pegasus::CIMName&, Pegasus::CIMClass&)>;

    explicit ValueMaps(ClassFetch fetch);
    ValueMaps(const ValueMaps&) = delete;
    ValueMaps& operator=(const ValueMaps&) = delete;

    // `property` of `className` carrying only its ValueMap and Values as the class declares
    // them; null when the class declares neither (or no such property), and, where the class
    // cannot be had, when the DMTF schema has no map for the name either. The maps of the
    // properties `wanted` names come with the same fetch. The pointer is valid until the next
    // Find or Clear.
    const Pegasus::CIMProperty* Find(const Pegasus::CIMName& className, const std::string& property,
                                     const PropertyMap& wanted);
    // A new request was made: a class that could not be had may be asked for again.
    void NewRequest();
    // The call is over: every map goes.
    void Clear();

  private:
    struct ClassMaps {
        // By case-folded property name (CIM names compare without case); nullopt: no map.
        std::map<std::string, std::optional<Pegasus::CIMProperty>> properties;
        // The class was asked for since the last request and could not be had.
        bool failed = false;
    };

    ClassFetch fetch;
    // By case-folded class name.
    std::map<std::string, ClassMaps> classes;
};

#endif

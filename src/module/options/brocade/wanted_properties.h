#ifndef VORNET_BROCADE_WANTED_PROPERTIES_H
#define VORNET_BROCADE_WANTED_PROPERTIES_H

#include <cstddef>

#include "property_map.h"

namespace Vornet {
namespace Brocade {

// A map holding exactly the names a reader wants, each with an empty value. Property extraction
// fills only the names already in the map, so a name the instance lacks stays "" in the records
// built from it, and nothing else the instance carries gets in.
template <std::size_t Count>
PropertyMap WantedProperties(const char* const (&names)[Count]) {
    PropertyMap properties;
    for (const char* name : names) {
        properties[name] = "";
    }
    return properties;
}

}  // namespace Brocade
}  // namespace Vornet

#endif

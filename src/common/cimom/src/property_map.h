#ifndef VORNET_PROPERTY_MAP_H
#define VORNET_PROPERTY_MAP_H

#include <map>
#include <string>

// CIM property name to value text, ordered byte-wise by name. Callers insert the names they want
// with empty values; extraction fills only those.
typedef std::map<std::string, std::string> PropertyMap;

#endif

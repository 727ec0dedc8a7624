#ifndef VORNET_MODULE_LOCATION_H
#define VORNET_MODULE_LOCATION_H

#include <string>

// The directory of the library (or program) file this code was linked into, with a trailing
// separator; empty when the system cannot tell, so that a file name alone is then looked up in
// the current directory.
std::string ModuleDirectory();

#endif

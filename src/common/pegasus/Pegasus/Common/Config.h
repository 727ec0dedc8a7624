// Basic types and namespace macros of the client API. Code written against
// OpenPegasus uses these names, so they are spelled exactly as there.
#ifndef PEGASUS_COMMON_CONFIG_H
#define PEGASUS_COMMON_CONFIG_H

#include <cstdint>

#define PEGASUS_NAMESPACE_BEGIN namespace Pegasus {
#define PEGASUS_NAMESPACE_END }
#define PEGASUS_USING_PEGASUS using namespace Pegasus
#define PEGASUS_USING_STD using namespace std
#define PEGASUS_STD(X) std::X

namespace Pegasus {

typedef bool Boolean;
typedef std::uint8_t Uint8;
typedef std::int8_t Sint8;
typedef std::uint16_t Uint16;
typedef std::int16_t Sint16;
typedef std::uint32_t Uint32;
typedef std::int32_t Sint32;
typedef std::uint64_t Uint64;
typedef std::int64_t Sint64;
typedef float Real32;
typedef double Real64;

// Returned by the find* operations when no element has the name asked for.
static const Uint32 PEG_NOT_FOUND = Uint32(-1);

}  // namespace Pegasus

#endif

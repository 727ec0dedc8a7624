// Order of key bindings inside an object path.
#ifndef PEGASUS_OBJECTS_KEY_ORDER_H
#define PEGASUS_OBJECTS_KEY_ORDER_H

#include <Pegasus/Common/CIMObjectPath.h>

namespace Pegasus {

// Sorts by name with ASCII letters folded to lower case, so '_' (0x5F) sorts
// before every letter, as OpenPegasus does; equal names keep their order.
void sortKeyBindings(Array<CIMKeyBinding>& keyBindings);

}  // namespace Pegasus

#endif

#ifndef VORNET_ASSOCIATION_WALK_H
#define VORNET_ASSOCIATION_WALK_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>

#include <functional>
#include <string>

#include "cimfunc.h"

namespace Vornet {
namespace Brocade {

// How one association class links a parent to its children.
struct AssociationWalk {
    const char* associationClass;
    const char* parentRole;          // reference compared with the parent's path
    const char* childRole;           // reference naming the child to fetch
    const char* entryLine;           // level-4 line before the parent's path; null for none
    const char* enumerationFailure;  // level-1 text before the library's message
};

// Calls `addChild` with every instance that `walk` links to `parent`: enumerates the whole
// association class, keeps the associations whose parent-side reference text contains the
// parent's path text, and fetches each one's child on the client `cimFunc` holds at that moment.
// The fetched instance carries the path of the reference that named it (class and keys), so
// that the walks below it compare the child's own path. `addChild` returns the child's status.
// Returns 0 when every request succeeded, 1 otherwise; children found before a failure are kept.
int WalkAssociation(const Pegasus::CIMInstance& parent, CimFunc* cimFunc,
                    const AssociationWalk& walk,
                    const std::function<int(const Pegasus::CIMInstance&)>& addChild);

// What one enumerated association says about the parent whose path text is `parentText`:
// nothing (its parent-side reference text does not contain the parent's), a child (whose path
// is put in `childPath`), or a child-side property that is missing or no reference. Writes the
// walk's log lines for the first and last case.
enum class AssociationLink { Unrelated, Child, ChildNotReference };
AssociationLink LinkOf(const Pegasus::CIMInstance& association, const std::string& parentText,
                       const AssociationWalk& walk, Pegasus::CIMObjectPath& childPath);

}  // namespace Brocade
}  // namespace Vornet

#endif

#include "association_walk.h"

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/Exception.h>

#include "log_line.h"
#include "pegasus_text.h"

namespace Vornet {
namespace Brocade {

namespace {

constexpr Pegasus::Uint32 kRequestTimeoutMs = 60000;

// The reference held by property `name`, or false when the instance lacks it or it is no
// reference.
bool ReferenceOf(const Pegasus::CIMInstance& instance, const char* name,
                 Pegasus::CIMObjectPath& reference) {
    const Pegasus::Uint32 index = instance.findProperty(Pegasus::CIMName(name));
    if (index == Pegasus::PEG_NOT_FOUND) {
        return false;
    }
    const Pegasus::CIMConstProperty property = instance.getProperty(index);
    if (property.getType() != Pegasus::CIMTYPE_REFERENCE) {
        return false;
    }
    property.getValue().get(reference);
    return true;
}

}  // namespace

AssociationLink LinkOf(const Pegasus::CIMInstance& association, const std::string& parentText,
                       const AssociationWalk& walk, Pegasus::CIMObjectPath& childPath) {
    Pegasus::CIMObjectPath parentReference;
    ReferenceOf(association, walk.parentRole, parentReference);
    const std::string referenceText = ToText(parentReference.toString());
    if (referenceText.find(parentText) == std::string::npos) {
        VORNET_LOG(4) << Vornet::EscapedControls(parentText)
                      << " != " << Vornet::EscapedControls(referenceText);
        return AssociationLink::Unrelated;
    }
    if (!ReferenceOf(association, walk.childRole, childPath)) {
        VORNET_LOG(2) << "Property " << walk.childRole << " is not found as REF.";
        return AssociationLink::ChildNotReference;
    }
    return AssociationLink::Child;
}

int WalkAssociation(const Pegasus::CIMInstance& parent, CimFunc* cimFunc,
                    const AssociationWalk& walk,
                    const std::function<int(const Pegasus::CIMInstance&)>& addChild) {
    const Pegasus::CIMObjectPath parentPath = parent.getPath();
    const std::string parentText = ToText(parentPath.toString());
    if (walk.entryLine != nullptr) {
        VORNET_LOG(4) << walk.entryLine << Vornet::EscapedControls(parentText);
    }
    int result = 0;

    Pegasus::Array<Pegasus::CIMInstance> associations;
    try {
        if (!cimFunc->Ask(kRequestTimeoutMs, [&](Pegasus::CIMClient& client) {
                associations = client.enumerateInstances(
                    cimFunc->GetNameSpace(), Pegasus::CIMName(walk.associationClass), true, true,
                    false, false, Pegasus::CIMPropertyList());
            })) {
            return 1;
        }
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(1) << walk.enumerationFailure << LogText(error.getMessage());
        cimFunc->Reconnect();
        return 1;
    }

    for (Pegasus::Uint32 index = 0; index < associations.size(); ++index) {
        Pegasus::CIMObjectPath childPath;
        const AssociationLink link = LinkOf(associations[index], parentText, walk, childPath);
        if (link == AssociationLink::Unrelated) {
            continue;
        }
        if (link == AssociationLink::ChildNotReference) {
            result = 1;
            continue;
        }
        Pegasus::CIMInstance child;
        try {
            // On the current client: a reconnect below this walk may have replaced it.
            if (!cimFunc->Ask(kRequestTimeoutMs, [&](Pegasus::CIMClient& client) {
                    child = client.getInstance(cimFunc->GetNameSpace(), childPath, true, true, true,
                                               Pegasus::CIMPropertyList());
                })) {
                return 1;
            }
        } catch (const Pegasus::Exception& error) {
            VORNET_LOG(1) << "Get instances failed with the reason: "
                          << LogText(error.getMessage());
            result = 1;
            if (cimFunc->Reconnect() != 0) {
                return 1;
            }
            continue;
        }
        // The library hands a fetched instance back with its path cut to the class name; the
        // child's own walks must compare its full path, as an enumerated instance carries it.
        child.setPath(Pegasus::CIMObjectPath(Pegasus::String(), Pegasus::CIMNamespaceName(),
                                             childPath.getClassName(), childPath.getKeyBindings()));
        if (addChild(child) != 0) {
            result = 1;
        }
    }
    return result;
}

}  // namespace Brocade
}  // namespace Vornet

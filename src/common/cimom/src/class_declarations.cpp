#include "class_declarations.h"

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cctype>

#include "log_line.h"
#include "pegasus_text.h"

ClassDeclarations::ClassDeclarations(Pegasus::CIMClient& client,
                                     const Pegasus::CIMNamespaceName& nameSpace, ServerWatch& watch)
    : client(client), nameSpace(nameSpace), watch(watch) {}

bool ClassDeclarations::Find(const Pegasus::CIMName& className, const Pegasus::CIMName& property,
                             Pegasus::CIMConstProperty& declaration) {
    std::string key = ToText(className.getString());
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = classes.find(key);
    if (found == classes.end()) {
        if (watch.GivenUp()) {
            return false;
        }
        std::optional<Pegasus::CIMClass> fetched;
        try {
            // Not local only, so that inherited properties come with the value maps their
            // ancestors declare, and a vendor subclass's own maps take their place.
            fetched = client.getClass(nameSpace, className, false, true, false,
                                      Pegasus::CIMPropertyList());
            watch.Answered();
        } catch (const Pegasus::Exception& error) {
            watch.Failed(error);
            VORNET_LOG(2) << "Get class " << LogText(className.getString())
                          << " failed with the reason: " << LogText(error.getMessage());
        }
        found = classes.emplace(key, std::move(fetched)).first;
    }
    if (!found->second) {
        return false;
    }
    const Pegasus::CIMConstClass cimClass(*found->second);
    const Pegasus::Uint32 index = cimClass.findProperty(property);
    if (index == Pegasus::PEG_NOT_FOUND) {
        return false;
    }
    declaration = cimClass.getProperty(index);
    return true;
}

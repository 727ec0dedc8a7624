#ifndef VORNET_CLASS_DECLARATIONS_H
#define VORNET_CLASS_DECLARATIONS_H

#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>

#include <map>
#include <optional>
#include <string>

#include "server_watch.h"

// The property declarations of the classes one connected client's server serves, with their
// qualifiers. OpenPegasus servers never put property qualifiers on instances, so the value
// maps that turn a code into its display text are found only here.
//
// Each class is fetched (GetClass: not local only, qualifiers, no class origin, every
// property) at most once in this object's life, on the client it was made for and with the
// time-out in force on that client; a failed fetch is remembered as well, so one class costs
// at most one request. Belongs to one connection: made and destroyed with its client. Not
// copyable.
class ClassDeclarations {
  public:
    // Each fetch's outcome goes to `watch`; once it has given up, nothing is fetched.
    ClassDeclarations(Pegasus::CIMClient& client, const Pegasus::CIMNamespaceName& nameSpace,
                      ServerWatch& watch);
    ClassDeclarations(const ClassDeclarations&) = delete;
    ClassDeclarations& operator=(const ClassDeclarations&) = delete;

    // Copies the declaration of `property` in `className` (inherited qualifiers included) into
    // `declaration`. False when the class declares no such property or could not be fetched;
    // a failed fetch writes one level-2 line naming the class and the reason and is never
    // repeated. Throws nothing of the CIM library.
    bool Find(const Pegasus::CIMName& className, const Pegasus::CIMName& property,
              Pegasus::CIMConstProperty& declaration);

  private:
    Pegasus::CIMClient& client;
    Pegasus::CIMNamespaceName nameSpace;
    ServerWatch& watch;
    // By case-folded class name (CIM names compare without case); empty after a failed fetch.
    std::map<std::string, std::optional<Pegasus::CIMClass>> classes;
};

#endif

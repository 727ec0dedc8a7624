#ifndef VORNET_LIFETIME_TRACE_H
#define VORNET_LIFETIME_TRACE_H

#include "log_line.h"

namespace Vornet {
namespace Brocade {

// The trace lines of an inventory object's life: "Calling constructor of <class>" when one is
// made from nothing, "Calling destructor of <class>" whenever one ends, copies included. Held as
// the object's last member, so that its lines come after the other members are made and before
// they end, where a constructor's and a destructor's bodies would write them; the object itself
// then needs none of its own.
class LifetimeTrace {
  public:
    LifetimeTrace(const char* className, const char* file, int line)
        : className(className), file(file), line(line) {
        Write("Calling constructor of ");
    }
    LifetimeTrace(const LifetimeTrace& other) = default;  // a copy is made silently
    LifetimeTrace& operator=(const LifetimeTrace& other) = default;
    ~LifetimeTrace() { Write("Calling destructor of "); }

  private:
    void Write(const char* text) const { VORNET_LOG_AT(4, file, line) << text << className; }

    const char* className;
    const char* file;
    int line;
};

// The member, with the line of the class that holds it as the lines' source.
#define VORNET_LIFETIME_TRACE(className) \
    ::Vornet::Brocade::LifetimeTrace lifetimeTrace { className, __FILE__, __LINE__ }

}  // namespace Brocade
}  // namespace Vornet

#endif

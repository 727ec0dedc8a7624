#ifndef VORNET_BROCADE_CIM_INVENTORY_H
#define VORNET_BROCADE_CIM_INVENTORY_H

#include "host_records.h"

namespace Vornet {
namespace Brocade {

// Root of the module's view of the Brocade CIM provider in "root/brocade". In-band it keeps the
// provider module switched on in the local CIM object manager for exactly its own lifetime.
class BrocadeCim {
  public:
    BrocadeCim();                                                               // in-band
    explicit BrocadeCim(const Vornet::VornetConnection::ConnectionInfo& info);  // out-of-band
    ~BrocadeCim();
    BrocadeCim(const BrocadeCim&) = delete;
    BrocadeCim& operator=(const BrocadeCim&) = delete;

  private:
    int connectionMode;
};

}  // namespace Brocade
}  // namespace Vornet

#endif

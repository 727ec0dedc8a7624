#ifndef VORNET_BROCADE_IMPL_MODES_H
#define VORNET_BROCADE_IMPL_MODES_H

namespace Vornet {
namespace Brocade {

constexpr int kInBand = 0;
constexpr int kOutOfBand = 1;
// Status of an operation the out-of-band mode does not offer.
constexpr int kNotOfferedOutOfBand = 4;

}  // namespace Brocade
}  // namespace Vornet

#endif

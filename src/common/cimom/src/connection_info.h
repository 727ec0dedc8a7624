#ifndef VORNET_CONNECTION_INFO_H
#define VORNET_CONNECTION_INFO_H

// How to reach a remote CIM server, declared exactly as the host declares it: the host passes it
// by reference to the module's out-of-band constructor, which hands it to this layer.

#include <cstdint>
#include <string>

namespace Vornet {
namespace VornetConnection {

class ConnectionInfo {
  public:
    std::string host;
    std::uint16_t port = 0;
    std::string user_name;
    std::string password;  // never written to any log
    std::uint16_t aux_number_1 = 0;
    std::uint16_t aux_number_2 = 3;
    std::int32_t connection_type = 0;  // 0 plain, 1 SSL
    std::int32_t connection_case = 0;  // 2, 3 and 4 mean a CIM server is contacted
    std::uint32_t aux_number_3 = 0;
};

}  // namespace VornetConnection
}  // namespace Vornet

#endif

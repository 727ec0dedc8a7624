#ifndef BROCADE_TEST_LOOPBACK_CONNECTION_H
#define BROCADE_TEST_LOOPBACK_CONNECTION_H

#include <string>

#include "connection_info.h"

// What a host hands the module to reach a CIM server on loopback out-of-band.
inline Vornet::VornetConnection::ConnectionInfo LoopbackConnection(unsigned short port,
                                                                   const std::string& user = "",
                                                                   const std::string& password = "",
                                                                   bool https = false) {
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = port;
    info.user_name = user;
    info.password = password;
    info.connection_type = https ? 1 : 0;
    info.connection_case = 2;
    return info;
}

#endif

// Wire cases that the client must meet alike on every transport (libcurl on Linux, WinHTTP on
// Windows): compiled into the Linux wire tests and the Windows client tests.
#ifndef TESTS_PEGASUS_SHARED_WIRE_CASES_H
#define TESTS_PEGASUS_SHARED_WIRE_CASES_H

#include <Pegasus/Client/CIMClient.h>
#include <gtest/gtest.h>

#include <string>

#include "failure_text.h"
#include "testing/client_observer.h"

namespace shared_wire_cases {

inline std::string cannotConnect(unsigned port, const std::string& host = "127.0.0.1") {
    return "CannotConnectException: Cannot connect to " + host + ":" + std::to_string(port) +
           ". Connection failed.";
}

// A refused port and an unknown host fail in connect() itself (WinHTTP would only meet them at
// the first request), with the texts the host logs, and leave the client unconnected.
inline void expectConnectFailures(unsigned closedPort) {
    const struct {
        const char* host;
        unsigned port;
        std::string failure;
    } cases[] = {
        {"127.0.0.1", closedPort, cannotConnect(closedPort)},
        {"", closedPort, cannotConnect(closedPort, "localhost")},
        {"no-such-host.invalid", 5988,
         "InvalidLocatorException: Invalid locator: no-such-host.invalid:5988"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.failure);
        Pegasus::CIMClient client;
        // Generous: the answer is the resolver's, and a slow one must not turn into a time-out.
        client.setTimeout(60000);
        EXPECT_EQ(failure_text::of([&] { client.connect(test.host, test.port, "", ""); }),
                  test.failure);
        EXPECT_EQ(failure_text::of([&] {
                      client.enumerateInstances(Pegasus::CIMNamespaceName("root/brocade"),
                                                "CIM_FCPort");
                  }),
                  "NotConnectedException: not connected");
    }
}

// While it lives, the transport refuses to take `setting`, as if the library did not know it.
struct RefusedSettingScope {
    explicit RefusedSettingScope(const std::string& setting) {
        pegasus_testing::refuseTransportSetting(setting);
    }
    ~RefusedSettingScope() { pegasus_testing::refuseTransportSetting(""); }
    RefusedSettingScope(const RefusedSettingScope&) = delete;
    RefusedSettingScope& operator=(const RefusedSettingScope&) = delete;
};

}  // namespace shared_wire_cases

#endif

// The one keep-alive rule both HTTP transports follow.

#include <gtest/gtest.h>

#include "http/connection_persistence.h"

TEST(ConnectionPersistence, CloseAlwaysClosesAndHttpOneZeroClosesUnlessItKeepsAlive) {
    const struct {
        bool httpOneZero;
        const char* connection;  // null: no Connection field
        bool closes;
    } cases[] = {
        {false, nullptr, false},         {false, "close", true}, {false, "Keep-Alive", false},
        {false, "TE, CLOSE", true},      {true, nullptr, true},  {true, "keep-alive", false},
        {true, "Keep-Alive, TE", false}, {true, "TE", true},     {true, "keep-alive, close", true},
    };
    for (const auto& c : cases) {
        Pegasus::http::HeaderFields headers{{"Content-Type", "application/xml"}};
        if (c.connection != nullptr) headers.emplace_back("connection", c.connection);
        EXPECT_EQ(Pegasus::http::closesAfterResponse(headers, c.httpOneZero), c.closes)
            << (c.httpOneZero ? "HTTP/1.0 " : "HTTP/1.1 ") << (c.connection ? c.connection : "-");
    }
}

#include <gtest/gtest.h>

#include <tuple>

#include "probe_options.h"
#include "test_environment.h"

namespace {

struct Parsed {
    bool ok;
    ProbeOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> arguments) {
    Parsed parsed;
    parsed.ok = ParseProbeOptions(arguments, parsed.options, parsed.error);
    return parsed;
}

}  // namespace

TEST(ProbeOptions, OutOfBandTakesThePasswordFromTheNamedVariable) {
    ScopedEnvironment secret{"PROBE_TEST_PASSWORD", "s3cret"};
    const Parsed parsed =
        Parse({"--host", "127.0.0.1", "--port", "15988", "--user", "root", "--password-env",
               "PROBE_TEST_PASSWORD", "--ssl", "--json", "inventory"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const auto& connection = parsed.options.connection;
    EXPECT_EQ(std::make_tuple(parsed.options.inBand, connection.host, connection.port,
                              connection.user_name, connection.password, connection.connection_type,
                              connection.connection_case, parsed.options.json),
              std::make_tuple(false, "127.0.0.1", 15988, "root", "s3cret", 1, 2, true));
}

TEST(ProbeOptions, DefaultsToInBandAndTheStandardPortsAndVersionNeedsNoOperation) {
    const struct {
        std::vector<std::string> arguments;
        bool inBand;
        int port;
        const char* item;
        bool version;
    } cases[] = {
        {{"rawdata"}, true, 0, "", false},
        {{"--host", "h", "firmware"}, false, 5988, "", false},
        {{"--host", "h", "--ssl", "firmware"}, false, 5989, "", false},
        {{"diag-run", "Loopback|port-1"}, true, 0, "Loopback|port-1", false},
        {{"--version"}, true, 0, "", true},
    };
    for (const auto& c : cases) {
        const Parsed parsed = Parse(c.arguments);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(std::make_tuple(parsed.options.inBand, parsed.options.connection.port,
                                  parsed.options.diagnosticItem, parsed.options.version),
                  std::make_tuple(c.inBand, c.port, std::string(c.item), c.version))
            << ::testing::PrintToString(c.arguments);
    }
}

TEST(ProbeOptions, UsageErrorsAreRefusedWithOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--frobnicate", "inventory"},
        {"--host"},
        {"--port", "0", "inventory"},
        {"--port", "70000", "inventory"},
        {"--log-level", "5", "inventory"},
        {"--password-env", "PROBE_TEST_UNSET_VARIABLE", "inventory"},
        {"diag-run"},
        {"inventory", "firmware"},
        {"--in-band", "--host", "h", "inventory"},
        {"--password", "s3cret", "inventory"},
    };
    for (const auto& arguments : bad) {
        const Parsed parsed = Parse(arguments);
        EXPECT_FALSE(parsed.ok) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.error.empty());
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(ProbeOptions, ProgressLineOnlyForAPersonAtATerminal) {
    const ProbeOptions tables = Parse({"inventory"}).options;
    const ProbeOptions json = Parse({"--json", "inventory"}).options;
    struct Case {
        const char* what;
        const ProbeOptions& options;
        bool terminal;
        const char* ci;
        const char* term;
        bool shown;
    };
    const Case cases[] = {
        {"terminal", tables, true, nullptr, "xterm-256color", true},
        {"terminal without TERM (Windows console)", tables, true, nullptr, nullptr, true},
        {"empty CI", tables, true, "", "xterm", true},
        {"pipe", tables, false, nullptr, "xterm", false},
        {"JSON on a terminal", json, true, nullptr, "xterm", false},
        {"CI with a terminal", tables, true, "true", "xterm", false},
        {"dumb terminal", tables, true, nullptr, "dumb", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShowsProgressLine(c.options, c.terminal, c.ci, c.term), c.shown) << c.what;
    }
}

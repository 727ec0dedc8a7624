#include <gtest/gtest.h>

#include "probe_options.h"

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

// What a parse gave, in one line: mode, where to and as whom, and the rest that was asked for.
std::string Described(const ProbeOptions& options) {
    const auto& to = options.connection;
    return std::string(options.inBand ? "in-band " : "out-of-band ") + to.host + ":" +
           std::to_string(to.port) + " " + to.user_name + "/" + to.password + " type " +
           std::to_string(to.connection_type) + " case " + std::to_string(to.connection_case) +
           (options.json ? " json" : "") + (options.version ? " version" : "") +
           (options.diagnosticItem.empty() ? "" : " item " + options.diagnosticItem);
}

// The port defaults to the standard one of the protocol; --version needs no operation. (A full
// out-of-band command line, its password from a variable: tests/e2e/test_probe.py.)
TEST(ProbeOptions, ModeConnectionAndRequestAreWhatTheArgumentsSay) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"rawdata"}, "in-band :0 / type 0 case 0"},
        {{"--host", "h", "firmware"}, "out-of-band h:5988 / type 0 case 2"},
        {{"--host", "h", "--ssl", "firmware"}, "out-of-band h:5989 / type 1 case 2"},
        {{"diag-run", "Loopback|port-1"}, "in-band :0 / type 0 case 0 item Loopback|port-1"},
        {{"--version"}, "in-band :0 / type 0 case 0 version"},
    };
    for (const auto& c : cases) {
        const Parsed parsed = Parse(c.first);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(Described(parsed.options), c.second) << ::testing::PrintToString(c.first);
    }
}

TEST(ProbeOptions, UsageErrorsAreRefusedWithOneLine) {
    // No operation and an unknown argument: tests/e2e/test_probe.py, with their texts.
    const std::vector<std::vector<std::string>> bad = {
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

// A CIM server that goes away or hangs in the middle of a call: the call gives up after two
// failures in a row instead of paying a connect step or a time-out for every walk still to come.

#include "diagnostic_scenario.h"
#include "e2e_fixture.h"
#include "testing/client_observer.h"

using Vornet::VornetOptions::NetworkAdapter;

namespace {

const char* const kGivenUp =
    "The CIM server did not answer twice in a row; the rest of this operation is skipped.";

// Does `onRequest` to the server at the first request whose operation and target start with
// `trigger`, and counts what the module's clients do from StartCounting on.
class SilentServer : public EndToEnd {
  protected:
    void SetUp() override {
        EndToEnd::SetUp();
        onEvent = [this](const pegasus_testing::ClientEvent& event) {
            if (event.kind == pegasus_testing::ClientEvent::Request && onRequest && !triggered &&
                (event.operation + " " + event.target).rfind(trigger, 0) == 0) {
                triggered = true;
                onRequest();
            }
        };
    }
    // The server stops answering: from the request being made on, every request times out at
    // once instead of after the module's own time-out. Requests before it keep theirs, so that a
    // busy machine cannot make an answered request time out.
    void Freeze() {
        simulator->Freeze();
        pegasus_testing::setTimeoutCeiling(300);
    }
    void TearDown() override {
        pegasus_testing::setTimeoutCeiling(0);
        EndToEnd::TearDown();
    }
    size_t Connects() const {
        return Count(pegasus_testing::ClientEvent::Connect) +
               Count(pegasus_testing::ClientEvent::ConnectLocal);
    }
    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const auto& event : events) {
            if (event.kind == pegasus_testing::ClientEvent::Request) {
                requests.push_back(event.operation + " " + event.target);
            }
        }
        return requests;
    }

    std::string trigger = "EnumerateInstances CIM_Realizes";
    std::function<void()> onRequest;
    bool triggered = false;
};

}  // namespace

TEST_F(SilentServer, AServerThatWentAwayCostsOneConnectStepAndTheRestIsSkipped) {
    ServeShipped("sample_estate.json");
    auto module = OutOfBand();
    onRequest = [this] { simulator->Stop(); };
    StartCounting();
    std::vector<NetworkAdapter> adapters;
    EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
    // What was read before is delivered: every package, none of what lay behind it.
    ASSERT_EQ(adapters.size(), 3u);
    EXPECT_EQ(adapters[0].serial_number, "BA8250A1742");
    EXPECT_TRUE(adapters[2].ports.empty());
    // The first walk's request found no server, its connect step neither; the other two walks
    // sent nothing and waited for nothing. The packages' class was read before, for their texts.
    EXPECT_EQ(Requests(), (std::vector<std::string>{"EnumerateInstances CIM_PhysicalPackage",
                                                    "GetClass XX_PhysicalPackage",
                                                    "EnumerateInstances CIM_Realizes"}));
    EXPECT_EQ(Connects(), 3u);
    EXPECT_EQ(pauses, (std::vector<unsigned int>{10000, 10000, 10000}));
    EXPECT_EQ(CountLines(kGivenUp), 1u);

    // The next call asks again, as any call without a connection does, and finds nothing.
    StartCounting();
    EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
    EXPECT_TRUE(adapters.empty());
    EXPECT_EQ(Connects(), 3u);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(SilentServer, AHungServerCostsTwoTimeOutsAndTheRestIsSkipped) {
    ServeShipped("sample_estate.json");
    auto module = OutOfBand();
    onRequest = [this] { Freeze(); };
    StartCounting();
    std::vector<NetworkAdapter> adapters;
    EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
    EXPECT_EQ(adapters.size(), 3u);
    // The first walk times out and reconnects (a hung server's port still accepts); the
    // second package's texts come from the class read for the first, and its walk times out
    // as well; nothing more is asked.
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{
                  "EnumerateInstances CIM_PhysicalPackage", "GetClass XX_PhysicalPackage",
                  "EnumerateInstances CIM_Realizes", "EnumerateInstances CIM_Realizes"}));
    EXPECT_EQ(Connects(), 1u);
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(CountLines(kGivenUp), 1u);
}

TEST_F(SilentServer, AServerThatStopsAnsweringAJobsPollsIsPolledTwice) {
    Serve(DiagnosticScenario({{"stuck", CompletesAfter(5)}}));
    auto module = InBand();
    std::vector<std::string> items;
    ASSERT_EQ(module->GetDiagItems(items), 0);
    trigger = "GetInstance ";
    onRequest = [this] { Freeze(); };
    StartCounting();
    Vornet::VornetIHV::DiagnosticRecord_ record;
    EXPECT_EQ(module->RunDiagnostic("LoopbackTest|stuck", record), 1);
    EXPECT_EQ(record.result, 1);
    EXPECT_TRUE(record.completion_state.empty());
    EXPECT_EQ(Requests().size(), 1u + 2u);  // the invocation, two polls and nothing after them
    EXPECT_EQ(pauses, (std::vector<unsigned int>{10000}));
    EXPECT_EQ(Connects(), 0u);
    EXPECT_EQ(CountLines(kGivenUp), 1u);
}

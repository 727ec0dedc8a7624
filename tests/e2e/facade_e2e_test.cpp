// The facade and the implementation core, through the shared library as the host loads it.

#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "cimom.h"
#include "e2e_fixture.h"

using Vornet::Brocade::Brocade;
using Vornet::VornetOptions::SoftwareIdentity_;

namespace {

class FacadeTest : public EndToEnd {
  protected:
    ScopedEnvironment noUtility{"ProgramFiles", ::testing::TempDir() + "no-such-dir"};
    // In-band the module connects to the local CIM server; nobody listens here.
    ScopedEnvironment noLocalServer{"CIMCLIENT_LOCAL_URL", "http://127.0.0.1:1"};
};

}  // namespace

// The host keeps several objects on several threads: the provider module goes on with the first
// in-band object and off with the last, never under one that is still at work. Out-of-band the
// CIM object manager is never touched.
TEST_F(FacadeTest, TheProviderModuleIsOnFromTheFirstInBandObjectToTheLastAndNeverOutOfBand) {
    Vornet::Cimom* cimom = Vornet::Cimom::GetInstance();
    cimom->ClearCalls();  // asking for the instance is a call of its own
    { const Brocade outOfBand(LoopbackConnection(1)); }
    EXPECT_TRUE(cimom->Calls().empty());
    const auto switches = [cimom] {
        std::vector<std::string> made;
        for (const std::string& call : cimom->Calls()) {
            if (call != "GetInstance") made.push_back(call);
        }
        return made;
    };
    auto first = std::make_unique<Brocade>();
    auto second = std::make_unique<Brocade>();
    std::thread inventory([&second] {
        std::vector<Vornet::VornetOptions::NetworkAdapter> adapters;
        for (int call = 0; call < 20; ++call) second->GetAdapterInfo(adapters);
    });
    first.reset();
    inventory.join();
    EXPECT_EQ(switches(), std::vector<std::string>{"Enable brcdprovider_Module"});
    second.reset();
    EXPECT_EQ(switches(), (std::vector<std::string>{"Enable brcdprovider_Module",
                                                    "Disable brcdprovider_Module"}));

    // An object the manager refused holds nothing: the next one asks again, and the refused
    // one's end does not switch the module off under it.
    cimom->ClearCalls();
    cimom->RefuseEnabling(true);
    auto refused = std::make_unique<Brocade>();
    cimom->RefuseEnabling(false);
    auto held = std::make_unique<Brocade>();
    refused.reset();
    EXPECT_EQ(switches(), (std::vector<std::string>{"Enable brcdprovider_Module",
                                                    "Enable brcdprovider_Module"}));
    held.reset();
    EXPECT_EQ(switches().back(), "Disable brcdprovider_Module");
}

TEST_F(FacadeTest, OutOfBandRefusesRawDataAndDiagnosticsLeavingTheCallersDataAlone) {
    Brocade module(LoopbackConnection(1));
    log.Clear();
    std::vector<Vornet::VornetIHV::RawData_> rawData(2);
    rawData[0].output = "kept";
    EXPECT_EQ(module.GetRawData(rawData), 4);
    ASSERT_EQ(rawData.size(), 2u);
    EXPECT_EQ(rawData[0].output, "kept");

    std::vector<std::string> items{"kept"};
    EXPECT_EQ(module.GetDiagItems(items), 4);
    EXPECT_EQ(items, std::vector<std::string>{"kept"});

    Vornet::VornetIHV::DiagnosticRecord_ record;
    record.result = 9;
    EXPECT_EQ(module.RunDiagnostic("x|y", record), 4);
    EXPECT_EQ(record.result, 9);

    EXPECT_EQ(Lines(1), std::vector<std::string>(3, "Doesn't support in out-of-band mode"));
}

// The header, then fifteen labelled lines for each record, as "level file text".
TEST_F(FacadeTest, FirmwareDumpWritesItsHeaderAndEveryRecordAtTraceLevel) {
    ServeShipped("sample_estate.json");
    std::vector<SoftwareIdentity_> identities;
    ASSERT_EQ(OutOfBand()->GetSoftwareIdentities(identities), 0);
    std::vector<std::string> dump;
    for (const auto& record : log.Records()) {
        if (record.text.rfind("SoftwareIdentity.", 0) == 0 ||
            record.text.rfind("Brocade::GetSoftwareIdentities", 0) == 0) {
            dump.push_back(std::to_string(record.level) + " " + record.file + " " + record.text);
        }
    }
    EXPECT_EQ(dump, GoldenLines("firmware_dump.txt"));
}

namespace {

// As `onEvent`: every connect step of every client throws what no layer below the facade expects.
void ThrowAtConnects(const pegasus_testing::ClientEvent& event) {
    if (event.kind == pegasus_testing::ClientEvent::Connect ||
        event.kind == pegasus_testing::ClientEvent::ConnectLocal) {
        throw std::length_error("injected by the test");
    }
}

std::vector<std::string> InjectedFailure(const std::string& what) {
    return {what + " failed with the exception: injected by the test"};
}

// An operation of the facade called with an empty vector of its records.
template <typename Record>
std::function<int(Brocade&)> Into(int (Brocade::*operation)(std::vector<Record>&)) {
    return [operation](Brocade& module) {
        std::vector<Record> records;
        return (module.*operation)(records);
    };
}

const struct Operation {
    const char* name;
    std::function<int(Brocade&)> call;
    bool connects;  // raw data never meets the client; a run only for an entry listed earlier
} kOperations[] = {
    {"Brocade::GetAdapterInfo", Into(&Brocade::GetAdapterInfo), true},
    {"Brocade::GetSoftwareIdentities", Into(&Brocade::GetSoftwareIdentities), true},
    {"Brocade::GetDiagItems", Into(&Brocade::GetDiagItems), true},
    {"Brocade::RunDiagnostic",
     [](Brocade& module) {
         Vornet::VornetIHV::DiagnosticRecord_ record;
         return module.RunDiagnostic("MemoryTest|", record);
     },
     false},
    {"Brocade::GetRawData", Into(&Brocade::GetRawData), false},
};

}  // namespace

TEST_F(FacadeTest, AnExceptionInAnOperationBecomesOneLineAndStatusOne) {
    Brocade module;
    onEvent = ThrowAtConnects;
    for (const Operation& operation : kOperations) {
        if (!operation.connects) continue;
        log.Clear();
        EXPECT_EQ(operation.call(module), 1) << operation.name;
        EXPECT_EQ(Lines(1), InjectedFailure(operation.name));
    }
}

TEST_F(FacadeTest, AnObjectWhoseConstructionThrewAnswersEveryOperationWithOne) {
    for (bool inBand : {true, false}) {
        SCOPED_TRACE(inBand ? "in-band" : "out-of-band");
        Vornet::Cimom::GetInstance()->ClearCalls();
        onEvent = ThrowAtConnects;
        log.Clear();
        auto module =
            inBand ? std::make_unique<Brocade>() : std::make_unique<Brocade>(LoopbackConnection(1));
        EXPECT_EQ(Lines(1), InjectedFailure("Brocade constructor"));
        onEvent = nullptr;
        for (const Operation& operation : kOperations) {
            log.Clear();
            EXPECT_EQ(operation.call(*module), 1) << operation.name;
            EXPECT_EQ(Lines(1), InjectedFailure(operation.name));
        }
        module.reset();
        // The connection failed before the provider module was switched on: nothing to undo.
        for (const std::string& call : Vornet::Cimom::GetInstance()->Calls()) {
            EXPECT_EQ(call.find("Enable"), std::string::npos) << call;
        }
    }
}

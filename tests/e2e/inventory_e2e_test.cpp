// Adapter inventory and firmware identities through the facade, against simulated estates.

#include <tuple>

#include "e2e_fixture.h"
#include "record_fields.h"

using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::SoftwareIdentity_;

// Without property qualifiers on instances (as OpenPegasus), the classes' value maps give the same
// records for the GetClass requests alone; in-band, so do the local socket by its own
// authentication and a local URL with an account by Basic. Port properties arrive as display
// texts; each adapter keeps its identities raw, the flat list one entry for what the two XX-825
// cards share. Flags at their protocol defaults are left out, as OpenPegasus's client leaves them.
TEST_F(EndToEnd, TheSampleEstateGivesTheSameRequestsAndRecordsFromEitherKindOfServerAndEitherBand) {
    enum Band { kOutOfBand, kLocalSocket, kLocalUrlWithAccount };
    // The authorizations the server saw, in order, each run of one written once: one challenge,
    // then every request carries the answer.
    const std::vector<std::tuple<bool, Band, std::vector<std::string>>> cases = {
        {false, kOutOfBand, {"none", "Basic"}},
        {true, kOutOfBand, {"none", "Basic"}},
        {false, kLocalSocket, {"Local-user", "Local-secret"}},
        {false, kLocalUrlWithAccount, {"none", "Basic"}}};
    for (const auto& [qualifiers, band, authorizations] : cases) {
        ServeShipped("sample_estate.json", qualifiers);
        auto module = band == kOutOfBand ? OutOfBand() : InBand(band == kLocalUrlWithAccount);
        std::vector<NetworkAdapter> adapters;
        std::vector<SoftwareIdentity_> identities(2);
        ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
        std::vector<std::string> expected;
        for (const std::string& line : GoldenLines("inventory_requests.txt")) {
            if (!qualifiers || line.rfind("GetClass ", 0) != 0) expected.push_back(line);
        }
        EXPECT_EQ(SentRequests(), expected) << qualifiers << band;
        ASSERT_EQ(module->GetSoftwareIdentities(identities), 0);
        Fields records;
        for (const NetworkAdapter& adapter : adapters) {
            Fields fields = FieldsOf(adapter);
            for (const auto& port : adapter.ports) fields["ports"].push_back(FieldsOf(port));
            for (const auto& identity : adapter.software_identities) {
                fields["identities"].push_back(FieldsOf(identity));
            }
            records.push_back(fields);
        }
        for (const auto& identity : identities) records.push_back(FieldsOf(identity));
        EXPECT_EQ(records, GoldenJson<Fields>("sample_estate_records.json")) << qualifiers << band;
        // The package, FC port and Ethernet port classes, once for each of the two calls: the
        // value maps go with each call.
        EXPECT_EQ(simulator->Requests("GetClass").size(), qualifiers ? 0u : 6u) << band;
        std::vector<std::string> carried;
        for (const auto& entry : simulator->Journal(true)) {
            const std::string authorization = entry["authorization"];
            if (carried.empty() || carried.back() != authorization)
                carried.push_back(authorization);
        }
        EXPECT_EQ(carried, authorizations) << band;
    }
}

// While one package's controllers are read, the other package's are passed over. Without value
// maps on the instances, one GetClass for each class read translated, once in each call; every
// other request is the same as with them.
TEST_F(EndToEnd, EachControllerKeepsItsOwnPortsAndEachTranslatedClassIsReadOncePerCall) {
    Serve(GoldenJson("two_by_two_estate.json"));
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    ASSERT_EQ(adapters.size(), 2u);
    std::vector<std::string> names;
    for (const auto& port : adapters[1].ports) names.push_back(port.name);
    EXPECT_EQ(names, (std::vector<std::string>{"port-ctl-20-0", "port-ctl-20-1", "port-ctl-21-0",
                                               "port-ctl-21-1"}));
    EXPECT_EQ(FieldsOf(adapters[1].software_identities[1])["version_string"], "1.ctl-21");
    EXPECT_EQ(simulator->Requests("GetClass", "CIM_PhysicalPackage").size(), 1u);
    EXPECT_EQ(simulator->Requests("GetClass", "CIM_FCPort").size(), 1u);
    EXPECT_EQ(simulator->Journal().size(), 1u + 2u + 8u + 16u + 2u);
    // A second call on the same vector answers afresh, its classes read again.
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_EQ(adapters.size(), 2u);
    EXPECT_EQ(simulator->Requests("GetClass").size(), 4u);
}

// A class the server does not give is asked for again when a later request needs it, once for
// that request; meanwhile the DMTF schema's value maps give the standard properties their texts,
// and a vendor's own property keeps its code.
TEST_F(EndToEnd, AClassTheServerCannotGiveIsAskedAgainAndTheSchemaStandsIn) {
    const struct {
        nlohmann::json times;  // how often the class is refused; null: always
        size_t lookups;
        const char* secondPortAvailability;
    } cases[] = {{nullptr, 6, "5"}, {1, 2, "Link Down"}};
    for (const auto& test : cases) {
        ServeShipped("sample_estate.json");
        auto module = OutOfBand();
        nlohmann::json fault = {
            {"operation", "GetClass"},
            {"class", "XX_FCPort"},
            {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: busy"}}}};
        if (!test.times.is_null()) fault["times"] = test.times;
        ASSERT_TRUE(simulator->Control({{"addFaults", {fault}}}));
        log.Clear();
        std::vector<NetworkAdapter> adapters;
        ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
        const NetworkAdapter& hba = adapters[0];
        EXPECT_EQ(hba.ports[0].link_technology, "FC") << test.times;
        EXPECT_EQ(hba.ports[0].enabled_state, "Enabled") << test.times;
        EXPECT_EQ(hba.ports[0].port_availability, "1") << test.times;
        EXPECT_EQ(hba.ports[1].port_availability, test.secondPortAvailability) << test.times;
        EXPECT_EQ(adapters[1].ports[3].link_technology, "Ethernet") << test.times;
        // One lookup for each port's request while the class is refused, none once it was had.
        EXPECT_EQ(simulator->Requests("GetClass", "XX_FCPort").size(), test.lookups) << test.times;
        EXPECT_EQ(CountLines("Get class XX_FCPort failed with the reason: CIM_ERR_FAILED: busy"),
                  test.times.is_null() ? 6u : 1u);
    }
}

// A failed request costs what lies below it, one reconnect, and nothing else: the port walk of a
// controller still runs after its firmware walk failed, and a failed fetch costs that child. One
// request the server does not answer is not yet a server gone silent. Every request after the
// reconnect, class lookups included, runs under the time-out of the request it serves, never the
// connect step's long one.
TEST_F(EndToEnd, AFailedRequestCostsThatBranchAndOneReconnect) {
    const nlohmann::json refused = {
        {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: no"}}}};
    const nlohmann::json dropped = {{"drop", "before"}};  // a single failure to answer
    const struct {
        const char* operation;
        const char* key;
        const char* value;
        const nlohmann::json& fault;
        size_t adapters, ports, identities;
    } cases[] = {
        {"EnumerateInstances", "class", "CIM_PhysicalPackage", refused, 0, 0, 0},
        {"EnumerateInstances", "class", "CIM_Realizes", refused, 2, 4, 2},
        {"EnumerateInstances", "class", "CIM_Realizes", dropped, 2, 4, 2},
        {"EnumerateInstances", "class", "CIM_ControlledBy", refused, 2, 6, 4},
        {"EnumerateInstances", "class", "CIM_ElementSoftwareIdentity", refused, 2, 8, 3},
        {"GetInstance", "ref", "port-ctl-11-0", refused, 2, 7, 4},
    };
    Serve(GoldenJson("two_by_two_estate.json"));
    auto module = OutOfBand();
    for (const auto& test : cases) {
        const std::string failure =
            (test.operation[0] == 'E' ? "Enumerate instances for " + std::string(test.value)
                                      : std::string("Get instances")) +
            " failed with the reason: " +
            (&test.fault == &refused ? "CIM_ERR_FAILED: no" : "Connection closed by CIM Server.");
        SCOPED_TRACE(failure);
        nlohmann::json fault = test.fault;
        fault.update({{"operation", test.operation}, {test.key, test.value}, {"times", 1}});
        ASSERT_TRUE(simulator->Control({{"clearFaults", true}, {"addFaults", {fault}}}));
        StartCounting();
        const size_t journaled = simulator->Journal().size();
        std::vector<NetworkAdapter> adapters(1);
        EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
        size_t ports = 0;
        size_t identities = 0;
        for (const NetworkAdapter& adapter : adapters) {
            ports += adapter.ports.size();
            identities += adapter.software_identities.size();
        }
        EXPECT_EQ(std::make_tuple(adapters.size(), ports, identities),
                  std::make_tuple(test.adapters, test.ports, test.identities));
        EXPECT_EQ(Lines(1), std::vector<std::string>{failure});
        EXPECT_EQ(Count(pegasus_testing::ClientEvent::Connect), 1u);
        const std::vector<std::string> sent = SentRequests();
        for (auto request = sent.begin() + journaled; request != sent.end(); ++request) {
            EXPECT_TRUE(std::regex_search(*request, std::regex(" (60000|within 60000)$")))
                << *request;
        }
    }
}

// A belonging association whose child end is no reference names no child to fetch.
TEST_F(EndToEnd, AnAssociationWithoutAChildReferenceCostsOnlyThatChild) {
    nlohmann::json estate = GoldenJson("two_by_two_estate.json");
    estate["classes"]["XX_LooseControlledBy"] = {{"superclass", "CIM_ControlledBy"},
                                                 {"properties", {{"Dependent", "string"}}}};
    estate["instances"].push_back({{"class", "XX_LooseControlledBy"},
                                   {"properties", {{"Antecedent", "ctl-10"}, {"Dependent", "x"}}}});
    Serve(estate);
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
    EXPECT_EQ(adapters[0].ports.size() + adapters[1].ports.size(), 8u);
    EXPECT_EQ(CountLines("Property Dependent is not found as REF."), 1u);
    EXPECT_EQ(simulator->Requests("GetInstance").size(), 4u + 8u + 4u);
}

TEST_F(EndToEnd, NoPackagesIsAnEmptyAnswer) {
    Serve(nlohmann::json{{"include", {"classes.json"}}, {"instances", nlohmann::json::array()}});
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters(1);
    EXPECT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_TRUE(adapters.empty());
    EXPECT_EQ(CountLines("brocade_cim_inventory:instance size0"), 1u);
}

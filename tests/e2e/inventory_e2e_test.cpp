// Adapter inventory and firmware identities through the facade, against simulated estates.

#include "e2e_fixture.h"
#include "record_fields.h"

using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::SoftwareIdentity_;

namespace {

std::vector<std::string> PortNames(const NetworkAdapter& adapter) {
    std::vector<std::string> names;
    for (const auto& port : adapter.ports) names.push_back(port.name);
    return names;
}

std::vector<std::string> Identities(const std::vector<SoftwareIdentity_>& identities) {
    std::vector<std::string> texts;
    for (const auto& identity : identities) {
        texts.push_back(identity.product_name + "/" + identity.element_name + "/" +
                        identity.version_string);
    }
    return texts;
}

// Two packages with two controllers each, every controller with two ports and its own firmware.
nlohmann::json TwoByTwoEstate() {
    nlohmann::json instances = nlohmann::json::array();
    for (int adapter = 1; adapter <= 2; ++adapter) {
        const std::string package = "pkg-" + std::to_string(adapter);
        instances.push_back({{"id", package},
                             {"class", "CIM_PhysicalPackage"},
                             {"properties",
                              {{"CreationClassName", "CIM_PhysicalPackage"},
                               {"Tag", "TAG-" + std::to_string(adapter)},
                               {"Name", "Adapter " + std::to_string(adapter)}}}});
        for (int controller = 0; controller < 2; ++controller) {
            const std::string id = "ctl-" + std::to_string(adapter) + std::to_string(controller);
            instances.push_back({{"id", id},
                                 {"class", "CIM_PortController"},
                                 {"properties",
                                  {{"SystemCreationClassName", "CIM_ComputerSystem"},
                                   {"SystemName", "host"},
                                   {"CreationClassName", "CIM_PortController"},
                                   {"DeviceID", id}}}});
            instances.push_back({{"class", "CIM_Realizes"},
                                 {"properties", {{"Antecedent", package}, {"Dependent", id}}}});
            const std::string firmware = "fw-" + id;
            instances.push_back({{"id", firmware},
                                 {"class", "CIM_SoftwareIdentity"},
                                 {"properties",
                                  {{"InstanceID", firmware},
                                   {"ElementName", "Firmware of " + id},
                                   {"VersionString", "1." + id}}}});
            instances.push_back({{"class", "CIM_ElementSoftwareIdentity"},
                                 {"properties", {{"Antecedent", firmware}, {"Dependent", id}}}});
            for (int port = 0; port < 2; ++port) {
                const std::string portId = "port-" + id + "-" + std::to_string(port);
                instances.push_back({{"id", portId},
                                     {"class", "CIM_FCPort"},
                                     {"properties",
                                      {{"SystemCreationClassName", "CIM_ComputerSystem"},
                                       {"SystemName", "host"},
                                       {"CreationClassName", "CIM_FCPort"},
                                       {"DeviceID", portId},
                                       {"Name", portId}}}});
                instances.push_back({{"class", "CIM_ControlledBy"},
                                     {"properties", {{"Antecedent", id}, {"Dependent", portId}}}});
            }
        }
    }
    return {{"include", {"classes.json"}}, {"instances", instances}};
}

}  // namespace

// OpenPegasus servers keep property qualifiers off instances; the classes' value maps must then
// give the very same records.
TEST_F(EndToEnd, TheSampleEstateBecomesTheSameExactRecordsFromEitherKindOfServer) {
    Fields records[2];
    std::vector<NetworkAdapter> adapters;
    std::vector<SoftwareIdentity_> identities(2);
    for (const bool qualifiers : {false, true}) {
        ServeShipped("sample_estate.json", PropertyQualifiers(qualifiers));
        auto module = OutOfBand();
        ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
        log.Clear();
        ASSERT_EQ(module->GetSoftwareIdentities(identities), 0);
        for (const NetworkAdapter& adapter : adapters) {
            Fields fields = FieldsOf(adapter);
            for (const auto& port : adapter.ports) fields["ports"].push_back(FieldsOf(port));
            for (const auto& identity : adapter.software_identities) {
                fields["identities"].push_back(FieldsOf(identity));
            }
            records[qualifiers].push_back(fields);
        }
        for (const auto& identity : identities) records[qualifiers].push_back(FieldsOf(identity));
    }
    EXPECT_EQ(records[false], records[true]);

    ASSERT_EQ(adapters.size(), 3u);
    const NetworkAdapter& hba = adapters[0];
    EXPECT_EQ(hba.name, "XX 825 Fibre Channel HBA");
    EXPECT_EQ(hba.serial_number, "BA8250A1742");
    EXPECT_EQ(hba.model, "XX-825");
    EXPECT_EQ(hba.manufacturer, "XX Networks");
    EXPECT_EQ(hba.SKU, "XX-825-S");
    EXPECT_EQ(hba.caption, "XX 825 Fibre Channel HBA in Slot 2");
    EXPECT_EQ(PortNames(hba),
              (std::vector<std::string>{"fcport-100000051e4a8110", "fcport-100000051e4a8111"}));
    // Value-mapped port properties arrive as their display texts.
    EXPECT_EQ(hba.ports[1].enabled_state, "Enabled but Offline");
    EXPECT_EQ(hba.ports[1].port_availability, "Link Down");
    EXPECT_EQ(hba.ports[1].link_technology, "FC");
    EXPECT_EQ(hba.ports[0].permanent_address, "100000051E4A8110");
    EXPECT_TRUE(hba.ports[0].burned_in_MAC.empty());

    // The CNA's controllers share firmware; each adapter keeps one entry per identity, raw.
    const NetworkAdapter& cna = adapters[1];
    EXPECT_EQ(PortNames(cna),
              (std::vector<std::string>{"fcport-100000051e7c2040", "fcport-100000051e7c2042",
                                        "ethport-00051e7c2044", "ethport-00051e7c2045"}));
    EXPECT_EQ(cna.ports[3].enabled_state, "Disabled");
    for (const NetworkAdapter& adapter : adapters) {
        EXPECT_EQ(Identities(adapter.software_identities),
                  (std::vector<std::string>{adapter.name + "/XX adapter firmware/3.2.6.1",
                                            adapter.name + "/XX boot code/3.2.6.0"}));
    }
    const SoftwareIdentity_& firmware = cna.software_identities[0];
    EXPECT_EQ(firmware.classifications, "10");
    EXPECT_EQ(firmware.identity_info_value, "xxfw 3.2.6.1");
    EXPECT_EQ(firmware.software_ID, "xxfw");
    EXPECT_EQ(firmware.is_PLDM_update_supported, "0");
    EXPECT_EQ(adapters[2].serial_number, "BA8250A1788");

    // The flat list: the two XX-825 cards share a name and their firmware, so one entry each,
    // the first card's.
    EXPECT_EQ(
        Identities(identities),
        (std::vector<std::string>{"XX 825 Fibre Channel HBA/XX adapter firmware/3.2.6.1",
                                  "XX 825 Fibre Channel HBA/XX boot code/3.2.6.0",
                                  "XX 1020 Converged Network Adapter/XX adapter firmware/3.2.6.1",
                                  "XX 1020 Converged Network Adapter/XX boot code/3.2.6.0"}));
    EXPECT_EQ(CountLinesContaining("SoftwareIdentity.software_ID = "), 4u);
}

// Every request of one inventory, in order, with what it asks for and how long the module lets
// it take. Flags at their protocol defaults (LocalOnly and DeepInheritance true, the others
// false, all properties) are not sent, as OpenPegasus's client leaves them out.
TEST_F(EndToEnd, AnInventoryAsksForExactlyThisInThisOrder) {
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json qualifiers = {{"IncludeQualifiers", true}};
    const nlohmann::json qualifiersAndOrigin = {{"IncludeQualifiers", true},
                                                {"IncludeClassOrigin", true}};
    auto walk = [&](const char* association) {
        return SentRequest{"EnumerateInstances", association, none, 60000};
    };
    auto fetch = [&](const std::string& target) {
        return SentRequest{"GetInstance", target, qualifiersAndOrigin, 60000};
    };
    // A controller reads its firmware, then its ports.
    auto controller = [&](const char* id, std::vector<std::string> firmware,
                          std::vector<std::string> ports) {
        std::vector<SentRequest> requests = {fetch(std::string("XX_PortController ") + id),
                                             walk("CIM_ElementSoftwareIdentity")};
        for (const auto& identity : firmware)
            requests.push_back(fetch("XX_SoftwareIdentity " + identity));
        requests.push_back(walk("CIM_ControlledBy"));
        for (const auto& port : ports) requests.push_back(fetch(port));
        return requests;
    };
    std::vector<std::vector<SentRequest>> parts = {
        {{"EnumerateInstances", "CIM_PhysicalPackage", qualifiers, 60000}},
        {walk("CIM_Realizes")},
        controller("ctlr-1/0", {"XX:FW:BA8250A1742:0", "XX:BOOT:BA8250A1742:0"},
                   {"XX_FCPort 10:00:00:05:1e:4a:81:10", "XX_FCPort 10:00:00:05:1e:4a:81:11"}),
        {walk("CIM_Realizes")},
        controller("ctlr-2/0", {"XX:FW:CN1020B0913:0", "XX:BOOT:CN1020B0913:0"},
                   {"XX_FCPort 10:00:00:05:1e:7c:20:40", "XX_FCPort 10:00:00:05:1e:7c:20:42"}),
        controller("ctlr-2/1", {"XX:FW:CN1020B0913:0", "XX:BOOT:CN1020B0913:1"},
                   {"XX_EthernetPort eth-00051e7c2044", "XX_EthernetPort eth-00051e7c2045"}),
        {walk("CIM_Realizes")},
        controller("ctlr-3/0", {"XX:FW:BA8250A1788:0", "XX:BOOT:BA8250A1788:0"},
                   {"XX_FCPort 10:00:00:05:1e:4a:93:20", "XX_FCPort 10:00:00:05:1e:4a:93:21"}),
    };
    std::vector<SentRequest> expected;
    for (const auto& part : parts) expected.insert(expected.end(), part.begin(), part.end());

    ServeShipped("sample_estate.json");
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_EQ(SentRequests(), expected);
}

TEST_F(EndToEnd, EachControllerKeepsExactlyItsOwnPortsAndFirmware) {
    Serve(TwoByTwoEstate());
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(PortNames(adapters[0]), (std::vector<std::string>{"port-ctl-10-0", "port-ctl-10-1",
                                                                "port-ctl-11-0", "port-ctl-11-1"}));
    EXPECT_EQ(PortNames(adapters[1]), (std::vector<std::string>{"port-ctl-20-0", "port-ctl-20-1",
                                                                "port-ctl-21-0", "port-ctl-21-1"}));
    EXPECT_EQ(Identities(adapters[1].software_identities),
              (std::vector<std::string>{"Adapter 2/Firmware of ctl-20/1.ctl-20",
                                        "Adapter 2/Firmware of ctl-21/1.ctl-21"}));
    // While the first package's controllers are read, the second package's are passed over.
    EXPECT_GE(CountLinesContaining(" != "), 2u);
}

// Without value maps on the instances, one GetClass for each class read translated, for as long
// as the connection lasts; every other request is the same as with them.
TEST_F(EndToEnd, WithoutValueMapsOnInstancesEachTranslatedClassIsReadOncePerConnection) {
    Serve(TwoByTwoEstate(), PropertyQualifiers(false));
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_EQ(simulator->Requests("GetClass", "CIM_PhysicalPackage").size(), 1u);
    EXPECT_EQ(simulator->Requests("GetClass", "CIM_FCPort").size(), 1u);
    EXPECT_EQ(simulator->Journal().size(), 1u + 2u + 8u + 16u + 2u);
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_EQ(simulator->Requests("GetClass").size(), 2u);
}

TEST_F(EndToEnd, AClassTheServerCannotGiveCostsOnlyItsTranslations) {
    ServeShipped("sample_estate.json", PropertyQualifiers(false));
    auto module = OutOfBand();
    ASSERT_TRUE(simulator->Control(
        {{"addFaults",
          {{{"operation", "GetClass"},
            {"class", "XX_FCPort"},
            {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: busy"}}}}}}}));
    std::vector<NetworkAdapter> adapters;
    ASSERT_EQ(module->GetAdapterInfo(adapters), 0);
    const NetworkAdapter& cna = adapters[1];
    EXPECT_EQ(cna.ports[0].link_technology, "4");
    EXPECT_EQ(cna.ports[3].link_technology, "Ethernet");
    EXPECT_EQ(cna.ports[3].enabled_state, "Disabled");
    EXPECT_EQ(simulator->Requests("GetClass", "XX_FCPort").size(), 1u);
    EXPECT_EQ(CountLines("Get class XX_FCPort failed with the reason: CIM_ERR_FAILED: busy"), 1u);
}

// A failed request costs what lies below it, one reconnect, and nothing else: the port walk of a
// controller still runs after its firmware walk failed, and a failed fetch costs that child.
TEST_F(EndToEnd, AFailedRequestCostsThatBranchAndOneReconnect) {
    auto failing = [](const char* operation, const char* key, const char* value) {
        return nlohmann::json::array(
            {{{"operation", operation},
              {key, value},
              {"times", 1},
              {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: no"}}}}});
    };
    auto enumeration = [](const std::string& className) {
        return "Enumerate instances for " + className +
               " failed with the reason: CIM_ERR_FAILED: no";
    };
    const struct {
        nlohmann::json faults;
        size_t adapters;
        size_t ports;
        size_t identities;
        std::string failure;
    } cases[] = {
        {failing("EnumerateInstances", "class", "CIM_PhysicalPackage"), 0, 0, 0,
         enumeration("CIM_PhysicalPackage")},
        {failing("EnumerateInstances", "class", "CIM_Realizes"), 2, 4, 2,
         enumeration("CIM_Realizes")},
        {failing("EnumerateInstances", "class", "CIM_ControlledBy"), 2, 6, 4,
         enumeration("CIM_ControlledBy")},
        {failing("EnumerateInstances", "class", "CIM_ElementSoftwareIdentity"), 2, 8, 3,
         enumeration("CIM_ElementSoftwareIdentity")},
        {failing("GetInstance", "ref", "port-ctl-11-0"), 2, 7, 4,
         "Get instances failed with the reason: CIM_ERR_FAILED: no"},
    };
    Serve(TwoByTwoEstate());
    auto module = OutOfBand();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.failure);
        ASSERT_TRUE(simulator->Control({{"clearFaults", true}, {"addFaults", test.faults}}));
        log.Clear();
        events.clear();
        std::vector<NetworkAdapter> adapters(1);
        EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
        size_t ports = 0;
        size_t identities = 0;
        for (const NetworkAdapter& adapter : adapters) {
            ports += adapter.ports.size();
            identities += adapter.software_identities.size();
        }
        EXPECT_EQ(adapters.size(), test.adapters);
        EXPECT_EQ(ports, test.ports);
        EXPECT_EQ(identities, test.identities);
        const auto records = log.Records();
        EXPECT_EQ(
            std::count_if(records.begin(), records.end(),
                          [&](const auto& r) { return r.level == 1 && r.text == test.failure; }),
            1);
        EXPECT_EQ(CountEvents(pegasus_testing::ClientEvent::Connect), 1u);
    }
}

// A belonging association whose child end is no reference names no child to fetch.
TEST_F(EndToEnd, AnAssociationWithoutAChildReferenceCostsOnlyThatChild) {
    nlohmann::json estate = TwoByTwoEstate();
    estate["classes"]["XX_LooseControlledBy"] = {{"superclass", "CIM_ControlledBy"},
                                                 {"properties", {{"Dependent", "string"}}}};
    estate["instances"].push_back({{"class", "XX_LooseControlledBy"},
                                   {"properties", {{"Antecedent", "ctl-10"}, {"Dependent", "x"}}}});
    Serve(estate);
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters;
    EXPECT_EQ(module->GetAdapterInfo(adapters), 1);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].ports.size(), 4u);
    EXPECT_EQ(adapters[1].ports.size(), 4u);
    EXPECT_EQ(CountLines("Property Dependent is not found as REF."), 1u);
    EXPECT_EQ(simulator->Requests("GetInstance").size(), 4u + 8u + 4u);
}

TEST_F(EndToEnd, NoPackagesIsAnEmptyAnswerAndCallsDoNotAccumulate) {
    Serve(nlohmann::json{{"include", {"classes.json"}}, {"instances", nlohmann::json::array()}});
    auto module = OutOfBand();
    std::vector<NetworkAdapter> adapters(1);
    EXPECT_EQ(module->GetAdapterInfo(adapters), 0);
    EXPECT_TRUE(adapters.empty());
    EXPECT_EQ(CountLines("brocade_cim_inventory:instance size0"), 1u);

    ServeShipped("sample_estate.json");
    auto estate = OutOfBand();
    estate->GetAdapterInfo(adapters);
    estate->GetAdapterInfo(adapters);
    EXPECT_EQ(adapters.size(), 3u);
}

TEST_F(EndToEnd, AnUnreachableServerGivesOneAndAnEmptyVector) {
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = UnusedLoopbackPort();
    info.connection_case = 2;
    Vornet::Brocade::Brocade module(info);
    std::vector<NetworkAdapter> adapters(2);
    EXPECT_EQ(module.GetAdapterInfo(adapters), 1);
    EXPECT_TRUE(adapters.empty());
    // Three attempts when constructed, three more when the call reconnects.
    EXPECT_EQ(pauses.size(), 6u);
}

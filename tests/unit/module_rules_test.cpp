// The module's own rules on what CIM delivered: identity records, repeated identities, key values
// from path texts, the diagnostic catalogue.

#include <gtest/gtest.h>

#include <fstream>

#include "brocade_impl.h"
#include "diagnostic_catalogue.h"
#include "log.h"
#include "log_capture.h"
#include "software_identity_mapping.h"
#include "test_environment.h"

using namespace Vornet::Brocade;
using Vornet::VornetOptions::SoftwareIdentity_;

TEST(IdentityMapping, SoftwareIdIsEverythingBeforeTheLastBlank) {
    const std::pair<const char*, const char*> cases[] = {
        {"xxfw 3.2.6.1", "xxfw"}, {"xx boot 3.2", "xx boot"},
        {"nothing", ""},          {" 3.2", ""},
        {"xxfw ", "xxfw"},        {"", ""},
    };
    for (const auto& test : cases) {
        const SoftwareIdentity_ identity =
            SoftwareIdentityFromProperties({{"IdentityInfoValue", test.first}}, "Adapter");
        EXPECT_EQ(identity.software_ID, test.second) << '"' << test.first << '"';
    }
}

TEST(IdentityMapping, FieldsComeFromTheirPropertiesAndTheHostDefaultsStay) {
    const SoftwareIdentity_ identity =
        SoftwareIdentityFromProperties({{"Description", "d"},
                                        {"ElementName", "e"},
                                        {"Manufacturer", "m"},
                                        {"Name", "n"},
                                        {"VersionString", "v"},
                                        {"Classifications", "10"},
                                        {"ClassificationDescriptions", "c"},
                                        {"IdentityInfoValue", "i 1"},
                                        {"ReleaseDate", "r"},
                                        {"IdentityInfoType", "t"},
                                        {"SoftwareID", "ignored"},
                                        {"SoftwareStatus", "ignored"},
                                        {"ProductName", "ignored"}},
                                       "Adapter A");
    EXPECT_EQ(identity.description, "d");
    EXPECT_EQ(identity.element_name, "e");
    EXPECT_EQ(identity.product_name, "Adapter A");
    EXPECT_EQ(identity.manufacturer, "m");
    EXPECT_EQ(identity.name, "n");
    EXPECT_EQ(identity.version_string, "v");
    EXPECT_EQ(identity.classifications, "10");
    EXPECT_EQ(identity.classification_descriptions, "c");
    EXPECT_EQ(identity.software_ID, "i");
    EXPECT_EQ(identity.release_date, "r");
    EXPECT_EQ(identity.identity_info_type, "t");
    EXPECT_TRUE(identity.software_status.empty() && identity.software_role.empty() &&
                identity.sub_device_ID.empty());
    EXPECT_EQ(identity.is_PLDM_update_supported, "0");
    EXPECT_EQ(identity.aux_code, 3u);
}

TEST(RepeatedIdentities, TheFirstOfEachStaysInPlace) {
    auto identity = [](const char* version, const char* description) {
        SoftwareIdentity_ record;
        record.version_string = version;
        record.description = description;
        return record;
    };
    std::vector<SoftwareIdentity_> identities = {identity("1", "A"),  identity("2", "B"),
                                                 identity("1", "A'"), identity("3", "C"),
                                                 identity("2", "B'"), identity("1", "A''")};
    RemoveRepeatedIdentities(identities);
    ASSERT_EQ(identities.size(), 3u);
    EXPECT_EQ(identities[0].description, "A");
    EXPECT_EQ(identities[1].description, "B");
    EXPECT_EQ(identities[2].description, "C");
}

TEST(PathKeys, AKeyIsFoundOnlyAfterACommaAndAMissingOneIsEmpty) {
    const std::string service =
        R"(XX_DiagnosticTest.CreationClassName="XX_DiagnosticTest",Name="MemoryTest",SystemName="h")";
    EXPECT_EQ(GetNameFromPath(service), "MemoryTest");
    EXPECT_EQ(GetDeviceIdFromPath(R"(CIM_FCPort.CreationClassName="CIM_FCPort",DeviceID="10:00")"),
              "10:00");
    EXPECT_EQ(GetNameFromPath(R"(XX_Service.Name="first")"), "");  // opens the key list
    EXPECT_EQ(GetNameFromPath(""), "");
    EXPECT_EQ(GetDeviceIdFromPath("short"), "");
    EXPECT_EQ(GetNameFromPath(R"(X.A="1",Name="unterminated)"), "unterminated");
}

TEST(DiagnosticCatalogue, ReadsEntriesAndTheirOutcomes) {
    const auto catalogue = ParseDiagnosticCatalogue(
        R"({"diagnostics": [{"name": "MemoryTest", "outcomes": {"ok": ["1", "2", "3", "4"]}},
                            {"name": "Bare"}]})",
        "test.json");
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].name, "MemoryTest");
    EXPECT_EQ(catalogue[0].outcomes.at("ok").outcome_text_4, "4");
    EXPECT_EQ(catalogue[0].outcomes.count("failed"), 0u);
    EXPECT_TRUE(catalogue[1].outcomes.empty());
}

TEST(DiagnosticCatalogue, AFaultyCatalogueIsEmptyWithOneErrorLine) {
    Vornet::Log::SetMinLogLevel(4);
    const char* faulty[] = {
        "{not json",
        R"({"diagnostics": {}})",
        R"({"diagnostics": [{"outcomes": {}}]})",
        R"({"diagnostics": [{"name": "X", "outcomes": {"ok": ["1", "2", "3"]}}]})",
        R"({"diagnostics": [{"name": "X", "outcomes": {"passed": ["1", "2", "3", "4"]}}]})",
        R"({"diagnostics": [{"name": "X", "outcomes": {"ok": ["1", 2, "3", "4"]}}]})",
        R"([1, 2])",
    };
    for (const char* text : faulty) {
        Vornet::LogCapture capture;
        EXPECT_TRUE(ParseDiagnosticCatalogue(text, "faulty.json").empty()) << text;
        const auto records = capture.Records();
        ASSERT_EQ(records.size(), 1u) << text;
        EXPECT_EQ(records[0].level, 1u);
        EXPECT_EQ(records[0].text.rfind("Diagnostic catalogue faulty.json ", 0), 0u)
            << records[0].text;
    }
}

TEST(DiagnosticCatalogue, IsLoadedFromTheConfiguredFileOrNotAtAll) {
    Vornet::Log::SetMinLogLevel(4);
    const std::string path = ::testing::TempDir() + "catalogue_test.json";
    std::ofstream(path) << R"({"diagnostics": [{"name": "MemoryTest"}]})";
    {
        ScopedEnvironment configured("VORNET_BROCADE_DIAG_CATALOGUE", path);
        EXPECT_EQ(LoadDiagnosticCatalogue().size(), 1u);
    }
    ScopedEnvironment missing("VORNET_BROCADE_DIAG_CATALOGUE", path + ".absent");
    Vornet::LogCapture capture;
    EXPECT_TRUE(LoadDiagnosticCatalogue().empty());
    const auto records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, 3u);
    EXPECT_NE(records[0].text.find(path + ".absent"), std::string::npos);
}

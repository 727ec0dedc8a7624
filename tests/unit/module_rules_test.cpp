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

TEST(IdentityMapping, EachFieldComesFromItsOwnPropertyAndTheRestAreLeftAlone) {
    using Field = std::string SoftwareIdentity_::*;
    const std::pair<const char*, Field> mapped[] = {
        {"Description", &SoftwareIdentity_::description},
        {"ElementName", &SoftwareIdentity_::element_name},
        {"Manufacturer", &SoftwareIdentity_::manufacturer},
        {"Name", &SoftwareIdentity_::name},
        {"VersionString", &SoftwareIdentity_::version_string},
        {"Classifications", &SoftwareIdentity_::classifications},
        {"ClassificationDescriptions", &SoftwareIdentity_::classification_descriptions},
        {"IdentityInfoValue", &SoftwareIdentity_::identity_info_value},
        {"ReleaseDate", &SoftwareIdentity_::release_date},
        {"IdentityInfoType", &SoftwareIdentity_::identity_info_type},
    };
    PropertyMap properties{
        {"SoftwareID", "ignored"}, {"SoftwareStatus", "ignored"}, {"ProductName", "ignored"}};
    for (const auto& field : mapped) properties[field.first] = std::string(field.first) + " 1";
    const SoftwareIdentity_ identity = SoftwareIdentityFromProperties(properties, "Adapter A");
    for (const auto& field : mapped) {
        EXPECT_EQ(identity.*field.second, std::string(field.first) + " 1") << field.first;
    }
    EXPECT_EQ(identity.product_name, "Adapter A");
    EXPECT_EQ(identity.software_ID, "IdentityInfoValue");
    EXPECT_TRUE(identity.software_status.empty() && identity.software_role.empty() &&
                identity.sub_device_ID.empty());
    // What the host expects of a record the module does not fill.
    EXPECT_EQ(identity.is_PLDM_update_supported, "0");
    EXPECT_EQ(identity.aux_code, 3u);
}

// Only version, classifications, product and element name make two identities the same; the
// first of each stays in place.
TEST(RepeatedIdentities, OnlyVersionClassificationsProductAndElementCount) {
    SoftwareIdentity_ first;
    first.version_string = "3.2.1a";
    first.classifications = "10";
    first.product_name = "Adapter A";
    first.element_name = "Boot code";
    first.description = "first";
    SoftwareIdentity_ repeated = first;
    repeated.description = "repeated";
    repeated.name = "fw-2";
    repeated.identity_info_value = "UEFI 3.2.1";
    repeated.release_date = "20260101000000.000000+000";
    repeated.software_ID = "UEFI";

    const std::pair<const char*, void (*)(SoftwareIdentity_&)> changes[] = {
        {"version letter case", [](SoftwareIdentity_& s) { s.version_string = "3.2.1A"; }},
        {"version suffix", [](SoftwareIdentity_& s) { s.version_string = "3.2.1a1"; }},
        {"classifications", [](SoftwareIdentity_& s) { s.classifications = "11"; }},
        {"product", [](SoftwareIdentity_& s) { s.product_name = "Adapter B"; }},
        {"element", [](SoftwareIdentity_& s) { s.element_name = "boot code"; }},
    };
    std::vector<SoftwareIdentity_> identities = {first, repeated};
    for (const auto& change : changes) {
        identities.push_back(first);
        change.second(identities.back());
        identities.back().description = change.first;
        identities.push_back(identities.back());
        identities.back().description = "repeated";
    }
    RemoveRepeatedIdentities(identities);
    std::vector<std::string> kept;
    for (const auto& identity : identities) kept.push_back(identity.description);
    EXPECT_EQ(kept, (std::vector<std::string>{"first", "version letter case", "version suffix",
                                              "classifications", "product", "element"}));
}

TEST(PathKeys, AKeyIsFoundOnlyAfterACommaAndAMissingOneIsEmpty) {
    const struct {
        std::string (*key)(std::string);
        const char* path;
        const char* value;
    } cases[] = {
        {GetNameFromPath, R"(XX_Test.CreationClassName="XX_Test",Name="Memory",SystemName="h")",
         "Memory"},
        {GetDeviceIdFromPath, R"(CIM_FCPort.CreationClassName="CIM_FCPort",DeviceID="10:00")",
         "10:00"},
        {GetNameFromPath, R"(XX_Service.Name="first")", ""},  // opens the key list
        {GetNameFromPath, "", ""},
        {GetDeviceIdFromPath, "short", ""},
        {GetNameFromPath, R"(X.A="1",Name="unterminated)", "unterminated"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.key(c.path), c.value) << c.path;
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

TEST(DiagnosticCatalogue, EntriesAndOutcomesAreLoadedFromTheConfiguredFileOrNotAtAll) {
    Vornet::Log::SetMinLogLevel(4);
    const std::string path = ::testing::TempDir() + "catalogue_test.json";
    std::ofstream(path) << R"({"diagnostics": [{"name": "MemoryTest", "outcomes":
                               {"ok": ["1", "2", "3", "4"]}}, {"name": "Bare"}]})";
    {
        ScopedEnvironment configured("VORNET_BROCADE_DIAG_CATALOGUE", path);
        const auto catalogue = LoadDiagnosticCatalogue();
        ASSERT_EQ(catalogue.size(), 2u);
        EXPECT_EQ(catalogue[0].name, "MemoryTest");
        EXPECT_EQ(catalogue[0].outcomes.at("ok").outcome_text_4, "4");
        EXPECT_EQ(catalogue[0].outcomes.count("failed"), 0u);
        EXPECT_TRUE(catalogue[1].outcomes.empty());
    }
    ScopedEnvironment missing("VORNET_BROCADE_DIAG_CATALOGUE", path + ".absent");
    Vornet::LogCapture capture;
    EXPECT_TRUE(LoadDiagnosticCatalogue().empty());
    const auto records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, 3u);
    EXPECT_NE(records[0].text.find(path + ".absent"), std::string::npos);
}

// The module's own rules on what CIM delivered: identity records, repeated identities, key values
// from path texts, the diagnostic catalogue.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <tuple>

#include "brocade_cim_inventory.h"
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

// Only version, classifications, product and element name make two identities the same; the
// first of each stays in place, however far apart the two are. Every record differs from the
// others in its other fields.
TEST(RepeatedIdentities, OnlyVersionClassificationsProductAndElementCount) {
    // version, classifications, product, element name, description (which names the record)
    const char* const rows[][5] = {
        {"3.2.1a", "10", "Adapter A", "Boot code", "first"},
        {"3.2.1A", "10", "Adapter A", "Boot code", "version letter case"},
        {"3.2.1a1", "10", "Adapter A", "Boot code", "version suffix"},
        {"3.2.1a", "11", "Adapter A", "Boot code", "classifications"},
        {"3.2.1a", "10", "Adapter B", "Boot code", "product"},
        {"3.2.1a1", "10", "Adapter A", "Boot code", "repeated"},
        {"3.2.1a", "10", "Adapter B", "Boot code", "repeated"},
        {"3.2.1a", "10", "Adapter A", "boot code", "element"},
    };
    std::vector<SoftwareIdentity_> identities;
    for (const auto& row : rows) {
        identities.emplace_back();
        SoftwareIdentity_& identity = identities.back();
        identity.version_string = row[0];
        identity.classifications = row[1];
        identity.product_name = row[2];
        identity.element_name = row[3];
        identity.description = row[4];
        identity.name = identity.identity_info_value = identity.release_date =
            identity.software_ID = std::to_string(identities.size());
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
        {GetNameFromPath, R"(XX_Service.Name="first")", ""},  // opens the key list
        {GetNameFromPath, "", ""},
        {GetDeviceIdFromPath, "short", ""},
        {GetNameFromPath, R"(X.A="1",Name="unterminated)", "unterminated"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.key(c.path), c.value) << c.path;
}

// A run with a job takes the record whose id holds the job's id whole (job 17 is not job 170);
// without a job, a record naming another service or element is another run's, and one naming
// neither cannot be told apart and is taken.
TEST(CompletionRecords, BelongToTheJobOrWithoutOneToThisRunOrNoNamedRun) {
    const struct {
        const char* jobId;     // empty: the run has no job
        const char* recordId;  // null here and below: the record has no such property
        const char* service;
        const char* element;
        bool belongs;
    } cases[] = {
        {"DIAG:Job:17", "DIAG:Job:170", nullptr, nullptr, false},
        {"DIAG:Job:17", "DIAG:Job:170;DIAG:Job:17", nullptr, nullptr, true},
        {"Job:17", "DIAG:XJob:17", nullptr, nullptr, false},
        {"DIAG:Job:17", nullptr, nullptr, nullptr, false},
        {"", "OTHER:1", "LoopbackTest", "elsewhere", false},
        {"", "OTHER:2", "MemoryTest", "port-1", false},
        {"", "UNNAMED:1", nullptr, nullptr, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(&test - cases);
        DiagnosticServiceEntry working;
        working.jobInstanceId = test.jobId;
        working.serviceName = "LoopbackTest";
        working.deviceId = "port-1";
        Pegasus::CIMInstance record(Pegasus::CIMName("CIM_DiagnosticCompletionRecord"));
        auto add = [&record](const char* name, const char* value) {
            if (value != nullptr) {
                record.addProperty(Pegasus::CIMProperty(Pegasus::CIMName(name),
                                                        Pegasus::CIMValue(Pegasus::String(value))));
            }
        };
        add("InstanceID", test.recordId);
        add("ServiceName", test.service);
        add("ManagedElementName", test.element);
        EXPECT_EQ(MatchCompletionRecord(working, record), test.belongs);
    }
}

// What a configured file holds is read by every diagnostics test of the facade. A file that
// cannot be used is an empty catalogue and one line naming it: a notice when it is missing or
// refused (only a regular file of catalogue size is read: a FIFO would stop the constructor, a
// huge file take memory), an error when it is faulty.
TEST(DiagnosticCatalogue, AnUnusableFileIsAnEmptyCatalogueAndOneLineNamingIt) {
    Vornet::Log::SetMinLogLevel(4);
    const TemporaryDirectory directory("catalogue");
    const std::string fifo = directory.file("fifo.json");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A valid catalogue, padded with blanks past the limit.
    const std::string huge = directory.file("huge.json");
    std::ofstream(huge) << R"({"diagnostics": [{"name": "X"}]})" << std::string(1100000, ' ');
    const std::string missing = directory.file("no-such-catalogue.json");
    const std::string folder = directory.path.string();
    // The file, its line's level and how the line starts.
    std::vector<std::tuple<std::string, unsigned int, std::string>> cases = {
        {missing, 3, "No diagnostic catalogue at " + missing + ";"},
        {huge, 3, "Diagnostic catalogue " + huge + " is unreadable (larger than 1048576 bytes)"},
        {folder, 3, "Diagnostic catalogue " + folder + " is unreadable (not a regular file)"},
        {fifo, 3, "Diagnostic catalogue " + fifo + " is unreadable (not a regular file)"},
    };
    for (const char* faulty : {
             "{not json",
             R"({"diagnostics": {}})",
             R"({"diagnostics": [{"outcomes": {}}]})",
             R"({"diagnostics": [{"name": "X", "outcomes": {"ok": ["1", "2", "3"]}}]})",
             R"({"diagnostics": [{"name": "X", "outcomes": {"passed": ["1", "2", "3", "4"]}}]})",
             R"({"diagnostics": [{"name": "X", "outcomes": {"ok": ["1", 2, "3", "4"]}}]})",
             R"([1, 2])",
         }) {
        const std::string path = directory.file(std::to_string(cases.size()) + ".json");
        std::ofstream(path) << faulty;
        cases.emplace_back(path, 1, "Diagnostic catalogue " + path + " ");
    }
    for (const auto& [path, level, line] : cases) {
        ScopedEnvironment configured("VORNET_BROCADE_DIAG_CATALOGUE", path);
        Vornet::LogCapture capture;
        EXPECT_TRUE(LoadDiagnosticCatalogue().empty()) << path;
        const auto records = capture.Records();
        ASSERT_EQ(records.size(), 1u) << path;
        EXPECT_EQ(records[0].level, level) << path;
        EXPECT_EQ(records[0].text.rfind(line, 0), 0u) << records[0].text;
    }
}

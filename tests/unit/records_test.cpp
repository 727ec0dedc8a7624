#include <gtest/gtest.h>

#include "host_records.h"

using Vornet::VornetConnection::ConnectionInfo;
using Vornet::VornetOptions::IsSameSoftwareIdentity;
using Vornet::VornetOptions::SoftwareIdentity_;

TEST(Records, DefaultsAreTheHostsOwn) {
    const SoftwareIdentity_ identity;
    EXPECT_EQ(identity.is_PLDM_update_supported, "0");
    EXPECT_EQ(identity.aux_code, 3u);
    EXPECT_TRUE(identity.aux_list.empty());
    EXPECT_TRUE(identity.description.empty());
    EXPECT_TRUE(identity.identity_info_type.empty());

    const ConnectionInfo connection;
    EXPECT_EQ(connection.aux_number_2, 3);
    EXPECT_EQ(connection.port, 0);
    EXPECT_EQ(connection.aux_number_1, 0);
    EXPECT_EQ(connection.connection_type, 0);
    EXPECT_EQ(connection.connection_case, 0);
    EXPECT_EQ(connection.aux_number_3, 0u);
}

TEST(Records, SameIdentityIgnoresEverythingButVersionClassificationsProductAndElement) {
    SoftwareIdentity_ first;
    first.version_string = "3.2.1a";
    first.classifications = "10";
    first.product_name = "Adapter A";
    first.element_name = "Boot code";
    first.description = "one";
    first.name = "fw-1";
    first.identity_info_value = "BIOS 3.2.1";
    first.release_date = "20260101000000.000000+000";

    SoftwareIdentity_ second = first;
    second.description = "two";
    second.name = "fw-2";
    second.identity_info_value = "UEFI 3.2.1";
    second.release_date = "";
    second.software_ID = "UEFI";
    EXPECT_TRUE(IsSameSoftwareIdentity(first, second));

    struct Change {
        const char* what;
        void (*apply)(SoftwareIdentity_&);
    };
    const Change changes[] = {
        {"version letter case", [](SoftwareIdentity_& s) { s.version_string = "3.2.1A"; }},
        {"version suffix", [](SoftwareIdentity_& s) { s.version_string = "3.2.1a1"; }},
        {"classifications", [](SoftwareIdentity_& s) { s.classifications = "11"; }},
        {"product", [](SoftwareIdentity_& s) { s.product_name = "Adapter B"; }},
        {"element", [](SoftwareIdentity_& s) { s.element_name = "boot code"; }},
    };
    for (const Change& change : changes) {
        SoftwareIdentity_ changed = first;
        change.apply(changed);
        EXPECT_FALSE(IsSameSoftwareIdentity(first, changed)) << change.what;
    }
}

// Reading instances into property maps: value-map translation, raw texts, trimming, keys.

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include "cim_test_support.h"
#include "cimfunc.h"

namespace {

using namespace Pegasus;

Array<String> Texts(std::initializer_list<const char*> texts) {
    Array<String> array;
    for (const char* text : texts) array.append(String(text));
    return array;
}

CIMProperty ValueMapped(const char* name, Uint16 value, std::initializer_list<const char*> codes,
                        std::initializer_list<const char*> texts) {
    CIMProperty property{CIMName(name), CIMValue(value)};
    property.addQualifier(CIMQualifier(CIMName("ValueMap"), CIMValue(Texts(codes))));
    property.addQualifier(CIMQualifier(CIMName("Values"), CIMValue(Texts(texts))));
    return property;
}

CIMInstance Port() {
    CIMInstance port(CIMName("XX_FCPort"));
    port.addProperty(
        ValueMapped("EnabledState", 2, {"0", "2", "3"}, {"Unknown", "Enabled", "Disabled"}));
    port.addProperty(
        ValueMapped("RequestedState", 7, {"0", "2", "3"}, {"Unknown", "Enabled", "Disabled"}));
    port.addProperty(CIMProperty(CIMName("Caption"), CIMValue(String("  FC port 0\r\n"))));
    port.addProperty(ValueMapped("PortAvailability", 3, {"0", "2", "3"}, {"Unknown", "Other"}));
    return port;
}

using PropertyExtraction = CimTest;

}  // namespace

TEST_F(PropertyExtraction, TranslatesValueMapsTrimsAndLeavesWhatIsMissing) {
    PropertyMap properties{{"EnabledState", ""},
                           {"RequestedState", ""},
                           {"Caption", ""},
                           {"Speed", "kept"},
                           {"PortAvailability", "kept"}};
    CimFunc::GetProperties(Port(), properties);
    // RequestedState 7 is not in its map; PortAvailability's Values are too short, which costs
    // that property only.
    EXPECT_EQ(properties, (PropertyMap{{"EnabledState", "Enabled"},
                                       {"RequestedState", ""},
                                       {"Caption", "FC port 0"},
                                       {"Speed", "kept"},
                                       {"PortAvailability", "kept"}}));
    EXPECT_EQ(Lines(2), std::vector<std::string>{"Property Speed is not found!"});
    const auto errors = Lines(1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Get properties from CIM instance failed with the reason: ", 0), 0u);

    // An empty map asks for nothing, so nothing is missing.
    log.Clear();
    properties.clear();
    CimFunc::GetProperties(Port(), properties);
    EXPECT_TRUE(properties.empty());
    EXPECT_EQ(Lines(1).size() + Lines(2).size(), 0u);
}

TEST_F(PropertyExtraction, KeyValuesMatchNamesExactly) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("DeviceID"), String("port-0"), CIMKeyBinding::STRING));
    EXPECT_EQ(CimFunc::GetKeyValue(keys, String("DeviceID")), String("port-0"));
    EXPECT_EQ(CimFunc::GetKeyValue(keys, String("DEVICEID")), String());
    EXPECT_EQ(CimFunc::GetKeyValue(Array<CIMKeyBinding>(), String("DeviceID")), String());
}

TEST(Trim, DropsBlanksOfEverySortAtBothEnds) {
    const char* const cases[][2] = {{"  text\r\n", "text"},
                                    {"\f\v\tin side\t", "in side"},
                                    {" \r\n ", ""},
                                    {"", ""},
                                    {"x", "x"}};
    for (const auto& test : cases) EXPECT_EQ(CimFunc::Trim(test[0]), test[1]) << test[0];
}

// Instances keep their properties' contents in one block and hand out properties that point into
// it: what a caller holds must stay valid and unchanged whatever later happens to the instance, and
// the other way round.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

using namespace Pegasus;

namespace {

const std::string kLongValue = "a value long enough to live on the heap ";

// "NAME=VALUE origin=CLASS qualifiers=N"
std::string described(const CIMConstProperty& property) {
    return property.getName().getString().utf8() + "=" + property.getValue().toString().utf8() +
           " origin=" + property.getClassOrigin().getString().utf8() +
           " qualifiers=" + std::to_string(property.getQualifierCount());
}

}  // namespace

TEST(PropertySharing, aHandedOutPropertyAndItsInstanceNeverSeeEachOthersChanges) {
    CIMProperty kept;
    CIMInstance copy;
    {
        CIMInstance instance(CIMName("XX_FCPort"));
        for (int i = 0; i < 3; ++i) {
            instance.addProperty(
                CIMProperty(CIMName(String(("Property" + std::to_string(i)).c_str())),
                            CIMValue(String((kLongValue + std::to_string(i)).c_str()))));
        }
        kept = instance.getProperty(1);
        copy = instance;
        copy.removeProperty(2);
        kept.setValue(CIMValue(String("changed")));
        kept.setClassOrigin(CIMName("CIM_FCPort"));
        kept.addQualifier(CIMQualifier(CIMName("Key"), CIMValue(true)));
        // Growing and shrinking the instance moves its block.
        for (int i = 0; i < 100; ++i) {
            instance.addProperty(CIMProperty(CIMName(String(("Extra" + std::to_string(i)).c_str())),
                                             CIMValue(Uint32(i))));
        }
        instance.removeProperty(0);
        EXPECT_EQ(instance.getPropertyCount(), 102u);
        EXPECT_EQ(described(instance.getProperty(0)),
                  "Property1=" + kLongValue + "1 origin= qualifiers=0");
    }
    EXPECT_EQ(described(kept), "Property1=changed origin=CIM_FCPort qualifiers=1");
    EXPECT_EQ(copy.getPropertyCount(), 2u);
    EXPECT_EQ(described(copy.getProperty(1)), "Property1=" + kLongValue + "1 origin= qualifiers=0");
}

TEST(PropertySharing, aRepeatedNameReplacesAndSharedPropertiesAreCopied) {
    CIMInstance instance(CIMName("XX_FCPort"));
    CIMProperty property(CIMName("DeviceID"), CIMValue(String("port-1")));
    instance.addProperty(property);
    instance.addProperty(std::move(property));
    CIMInstance other(CIMName("XX_FCPort"));
    other.addProperty(instance.getProperty(0));
    // A property still shared with its instance is copied, not taken over.
    other.addProperty(std::move(instance.getProperty(0)));
    EXPECT_EQ(instance.getPropertyCount(), 1u);
    EXPECT_EQ(other.getPropertyCount(), 1u);
    EXPECT_EQ(described(instance.getProperty(0)), described(other.getProperty(0)));
    EXPECT_EQ(described(other.getProperty(0)), "DeviceID=port-1 origin= qualifiers=0");
    // Names match whatever their case; the later spelling replaces.
    EXPECT_EQ(instance.findProperty(CIMName("DEVICEid")), 0u);
    instance.addProperty(CIMProperty(CIMName("deviceID"), CIMValue(String("port-2"))));
    EXPECT_EQ(instance.getPropertyCount(), 1u);
    EXPECT_EQ(described(instance.getProperty(0)), "deviceID=port-2 origin= qualifiers=0");
    EXPECT_EQ(instance.findProperty(CIMName("DeviceIDs")), PEG_NOT_FOUND);
    EXPECT_THROW(instance.getProperty(1), IndexOutOfBoundsException);
    EXPECT_THROW(instance.removeProperty(1), IndexOutOfBoundsException);
}

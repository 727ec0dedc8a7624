// Instances keep their properties' contents in one block and hand out
// properties that point into it: what a caller holds must stay valid and
// unchanged whatever later happens to the instance, and the other way round.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

using namespace Pegasus;

namespace {

CIMInstance portWithProperties(int count) {
    CIMInstance instance(CIMName("XX_FCPort"));
    for (int i = 0; i < count; ++i) {
        instance.addProperty(CIMProperty(
            CIMName(String(("Property" + std::to_string(i)).c_str())),
            CIMValue(
                String(("a value long enough to live on the heap " + std::to_string(i)).c_str()))));
    }
    return instance;
}

std::string text(const CIMConstProperty& property) { return property.getValue().toString().utf8(); }

}  // namespace

TEST(PropertySharing, aHandedOutPropertyOutlivesAndIgnoresLaterChangesOfItsInstance) {
    CIMProperty kept;
    {
        CIMInstance instance = portWithProperties(3);
        kept = instance.getProperty(1);
        // Growing and shrinking the instance moves its block.
        for (int i = 0; i < 100; ++i) {
            instance.addProperty(CIMProperty(CIMName(String(("Extra" + std::to_string(i)).c_str())),
                                             CIMValue(Uint32(i))));
        }
        instance.removeProperty(0);
        EXPECT_EQ(instance.getPropertyCount(), 102u);
        EXPECT_EQ(text(instance.getProperty(0)), "a value long enough to live on the heap 1");
    }
    EXPECT_EQ(kept.getName().getString().utf8(), "Property1");
    EXPECT_EQ(text(kept), "a value long enough to live on the heap 1");
}

TEST(PropertySharing, changingAHandedOutPropertyLeavesTheInstanceAlone) {
    CIMInstance instance = portWithProperties(2);
    CIMProperty property = instance.getProperty(0);
    property.setValue(CIMValue(String("changed")));
    property.setClassOrigin(CIMName("CIM_FCPort"));
    property.addQualifier(CIMQualifier(CIMName("Key"), CIMValue(true)));
    EXPECT_EQ(text(property), "changed");
    EXPECT_EQ(property.getClassOrigin().getString().utf8(), "CIM_FCPort");
    EXPECT_EQ(property.getQualifierCount(), 1u);

    CIMConstProperty original = instance.getProperty(0);
    EXPECT_EQ(text(original), "a value long enough to live on the heap 0");
    EXPECT_TRUE(original.getClassOrigin().isNull());
    EXPECT_EQ(original.getQualifierCount(), 0u);
}

TEST(PropertySharing, copiesOfAnInstanceAreIndependent) {
    CIMInstance first = portWithProperties(2);
    CIMInstance second = first;
    CIMProperty property = first.getProperty(1);
    second.removeProperty(1);
    second.addProperty(CIMProperty(CIMName("Property0"), CIMValue(String("replaced"))));
    EXPECT_EQ(second.getPropertyCount(), 1u);
    EXPECT_EQ(text(second.getProperty(0)), "replaced");
    EXPECT_EQ(first.getPropertyCount(), 2u);
    EXPECT_EQ(text(first.getProperty(0)), "a value long enough to live on the heap 0");
    EXPECT_EQ(text(property), "a value long enough to live on the heap 1");
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
    EXPECT_EQ(text(instance.getProperty(0)), "port-1");
    EXPECT_EQ(other.getPropertyCount(), 1u);
    EXPECT_EQ(text(other.getProperty(0)), "port-1");
    // Names match whatever their case; the later spelling replaces.
    EXPECT_EQ(instance.findProperty(CIMName("DEVICEid")), 0u);
    instance.addProperty(CIMProperty(CIMName("deviceID"), CIMValue(String("port-2"))));
    EXPECT_EQ(instance.getPropertyCount(), 1u);
    EXPECT_EQ(instance.getProperty(0).getName().getString().utf8(), "deviceID");
    EXPECT_EQ(instance.findProperty(CIMName("DeviceIDs")), PEG_NOT_FOUND);
    EXPECT_THROW(instance.getProperty(1), IndexOutOfBoundsException);
    EXPECT_THROW(instance.removeProperty(1), IndexOutOfBoundsException);
}

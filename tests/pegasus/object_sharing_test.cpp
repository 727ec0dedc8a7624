// Instances keep their properties' contents in one block and hand out properties that point into
// it: what a caller holds must stay valid and unchanged whatever later happens to the instance, and
// the other way round.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cimxml/response_decoder.h"

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

// An object with many members finds them by an index rather than by a scan: what it finds, and
// what a repeated name replaces, must not depend on which way, before or after a removal.
TEST(PropertySharing, aRepeatedNameReplacesHoweverManyMembersAnObjectHas) {
    for (Uint32 count : {3u, 500u}) {
        SCOPED_TRACE(count);
        CIMInstance instance(CIMName("XX_Wide"));
        CIMClass wide(CIMName("XX_Wide"));
        CIMInstance qualified(CIMName("XX_Wide"));
        const auto name = [](const char* prefix, Uint32 i) {
            return CIMName(String::fromUtf8(prefix + std::to_string(i)));
        };
        for (Uint32 i = 0; i < count; ++i) {
            instance.addProperty(CIMProperty(name("Property", i), CIMValue(Uint32(i))));
            wide.addProperty(CIMProperty(name("Property", i), CIMValue(Uint32(i))));
            qualified.addQualifier(CIMQualifier(name("Qualifier", i), CIMValue(Uint32(i))));
        }
        const Uint32 middle = count / 2;
        instance.addProperty(CIMProperty(name("PROPERTY", middle), CIMValue(Uint32(7))));
        wide.addProperty(CIMProperty(name("PROPERTY", middle), CIMValue(Uint32(7))));
        qualified.addQualifier(CIMQualifier(name("QUALIFIER", middle), CIMValue(Uint32(7))));
        EXPECT_EQ(instance.getPropertyCount(), count);
        EXPECT_EQ(wide.getPropertyCount(), count);
        EXPECT_EQ(qualified.getQualifierCount(), count);
        EXPECT_EQ(instance.findProperty(name("property", middle)), middle);
        EXPECT_EQ(wide.findProperty(name("property", middle)), middle);
        EXPECT_EQ(qualified.findQualifier(name("qualifier", middle)), middle);
        EXPECT_EQ(instance.getProperty(middle).getValue().toString(), "7");
        EXPECT_EQ(wide.getProperty(middle).getValue().toString(), "7");
        EXPECT_EQ(qualified.getQualifier(middle).getValue().toString(), "7");
        EXPECT_EQ(instance.findProperty(name("Property", count)), PEG_NOT_FOUND);
        instance.removeProperty(0);
        EXPECT_EQ(instance.findProperty(name("Property", 0)), PEG_NOT_FOUND);
        EXPECT_EQ(instance.findProperty(name("Property", count - 1)), count - 2);
        instance.addProperty(CIMProperty(name("Property", 0), CIMValue(Uint32(0))));
        EXPECT_EQ(instance.findProperty(name("Property", 0)), count - 1);
    }
}

namespace {

// Everything the API tells of an instance, properties and qualifiers with all they carry.
std::string whole(const CIMInstance& instance) {
    std::string out = instance.getClassName().getString().utf8() + " " +
                      instance.getPath().toString().utf8() + " [";
    const auto qualifiers = [&out](const auto& owner) {
        for (Uint32 i = 0; i < owner.getQualifierCount(); ++i) {
            const CIMConstQualifier q = owner.getQualifier(i);
            out += " Q " + q.getName().getString().utf8() + ":" + cimTypeToString(q.getType()) +
                   (q.isArray() ? "[]" : "") + (q.getPropagated() ? " propagated" : "") + "=" +
                   q.getValue().toString().utf8();
        }
    };
    qualifiers(instance);
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
        const CIMConstProperty p = instance.getProperty(i);
        out += " P " + described(p) + " " + cimTypeToString(p.getType()) +
               (p.isArray() ? "[" + std::to_string(p.getArraySize()) + "]" : "") +
               (p.getValue().isNull() ? " null" : "") + (p.getPropagated() ? " propagated" : "") +
               " ref=" + p.getReferenceClassName().getString().utf8();
        qualifiers(p);
    }
    return out + " ]";
}

std::string enumeration(const std::vector<std::string>& instances) {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
        "<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
    for (const std::string& instance : instances) body += instance;
    return body + "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
}

// An association instance: `key` numbers both references; the rest is put in as given.
std::string association(int key, const std::string& className, const std::string& body) {
    const std::string port =
        "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"XX_Port\"><KEYBINDING "
        "NAME=\"DeviceID\"><KEYVALUE>port-" +
        std::to_string(key) +
        "</KEYVALUE></KEYBINDING></INSTANCENAME>"
        "</VALUE.REFERENCE>";
    const std::string controller =
        "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"XX_Ctl\">"
        "<KEYBINDING NAME=\"DeviceID\"><KEYVALUE>ctl-" +
        std::to_string(key / 2) + "</KEYVALUE></KEYBINDING></INSTANCENAME></VALUE.REFERENCE>";
    return "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"" + className +
           "\"><KEYBINDING NAME=\"Antecedent\">" + controller +
           "</KEYBINDING><KEYBINDING NAME=\"Dependent\">" + port +
           "</KEYBINDING></INSTANCENAME>\n<INSTANCE CLASSNAME=\"" + className + "\">\n" + body +
           "<PROPERTY.REFERENCE NAME=\"Antecedent\" REFERENCECLASS=\"CIM_Controller\">" +
           controller + "</PROPERTY.REFERENCE>\n<PROPERTY.REFERENCE NAME=\"Dependent\">" + port +
           "</PROPERTY.REFERENCE>\n</INSTANCE>\n</VALUE.NAMEDINSTANCE>\n";
}

const char kDescription[] =
    "<QUALIFIER NAME=\"Description\" TYPE=\"string\" PROPAGATED=\"true\"><VALUE>Links a "
    "controller to a device.</VALUE></QUALIFIER>\n";
const char kSpeed[] = "<PROPERTY NAME=\"Speed\" PROPAGATED=\"true\" TYPE=\"uint64\"></PROPERTY>\n";
std::string named(const char* value) {
    return std::string("<PROPERTY NAME=\"Name\" TYPE=\"string\" CLASSORIGIN=\"XX_A\">") + value +
           "</PROPERTY>\n";
}
std::string replaced(std::string text, const std::string& what, const std::string& by) {
    return text.replace(text.find(what), what.size(), by);
}
const char kCodes[] =
    "<PROPERTY.ARRAY NAME=\"Codes\" TYPE=\"uint16\" ARRAYSIZE=\"4\"><VALUE.ARRAY><VALUE>1</VALUE>"
    "<VALUE>2</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>\n";

}  // namespace

// Servers send the instances of an enumeration alike but for their keys, and an instance that
// repeats the one before it in part is built from it: whatever way it differs from the one before
// (values, qualifiers, order, names, a repeated name, class), each instance is what it decodes to
// alone, and changing one changes no other.
TEST(InstanceSharing, eachInstanceOfAnEnumerationIsWhatItDecodesToAlone) {
    const std::string base =
        std::string(kDescription) + kSpeed + named("<VALUE>a</VALUE>") + kCodes;
    const std::vector<std::string> instances = {
        association(0, "XX_A", base),
        association(1, "XX_A", base),
        association(2, "XX_A",
                    std::string(kDescription) + kSpeed + named("<VALUE>b</VALUE>") + kCodes),
        association(3, "XX_A", std::string(kDescription) + kSpeed + named("") + kCodes),
        association(4, "XX_A",
                    std::string(kDescription) + kSpeed +
                        named("<QUALIFIER NAME=\"EmbeddedObject\" TYPE=\"boolean\">"
                              "<VALUE>true</VALUE></QUALIFIER>") +
                        kCodes),
        association(5, "XX_A",
                    std::string(kDescription) + kSpeed + named("<VALUE>b</VALUE>") +
                        "<PROPERTY.ARRAY NAME=\"Codes\" TYPE=\"uint16\"><VALUE.ARRAY>"
                        "<VALUE>3</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>\n"),
        association(6, "XX_A", replaced(base, "controller", "port")),
        association(7, "XX_A",
                    std::string(kDescription) + named("<VALUE>a</VALUE>") + kSpeed + kCodes),
        association(8, "XX_A", replaced(base, "\"Name\"", "\"NAME\"")),
        association(9, "XX_A", base + named("<VALUE>again</VALUE>")),
        association(10, "XX_A", base + named("<VALUE>again</VALUE>")),
        association(11, "XX_A", base),
        association(12, "XX_B", base),
        association(13, "XX_B", base + kSpeed),
        association(14, "XX_B", base),
    };
    const Array<CIMInstance> decoded =
        cimxml::decodeEnumerateInstances(enumeration(instances), 1000);
    ASSERT_EQ(decoded.size(), instances.size());
    std::vector<std::string> alone;
    for (const std::string& instance : instances) {
        alone.push_back(whole(cimxml::decodeEnumerateInstances(enumeration({instance}), 1000)[0]));
        EXPECT_EQ(whole(decoded[alone.size() - 1]), alone.back())
            << "instance " << alone.size() - 1;
    }
    CIMInstance changed = decoded[1];
    changed.removeProperty(changed.findProperty("Name"));
    changed.addProperty(CIMProperty(CIMName("Name"), CIMValue(String("changed"))));
    changed.setPath(CIMObjectPath());
    for (Uint32 i = 0; i < 3; ++i) EXPECT_EQ(whole(decoded[i]), alone[i]) << "instance " << i;
}

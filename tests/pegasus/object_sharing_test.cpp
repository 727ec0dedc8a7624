// Decoded objects share what they can, and it never shows. An instance keeps its properties in one
// block and hands out properties pointing into it: what a caller holds stays unchanged whatever
// then happens to the instance, and the other way. An instance or a path that repeats one before
// it is built from it. Path texts are worked out by hand: keys sorted by name with ASCII case
// folded, equal names in arrival order, strings and references quoted and escaped, a nested path's
// host and namespace kept; a path shares its text once made, so changed copies are checked too.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cimxml/response_decoder.h"
#include "test_documents.h"

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
        // The later spelling of a name replaces the earlier.
        const std::string later = "PROPERTY" + std::to_string(middle) + "=7 origin= qualifiers=0";
        EXPECT_EQ(described(instance.getProperty(middle)), later);
        EXPECT_EQ(described(wide.getProperty(middle)), later);
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

std::string reference(const std::string& xml) {
    return "<VALUE.REFERENCE>" + xml + "</VALUE.REFERENCE>";
}
// A KEYBINDING as it arrives: a KEYVALUE of the type (none: no VALUETYPE), or a reference.
std::string key(const char* name, const std::string& type, const std::string& value) {
    const std::string typed = type.empty() ? "" : " VALUETYPE=\"" + type + "\"";
    return std::string("<KEYBINDING NAME=\"") + name + "\">" +
           (type == "reference" ? reference(value)
                                : "<KEYVALUE" + typed + ">" + value + "</KEYVALUE>") +
           "</KEYBINDING>\n";
}
std::string name(const char* className, const std::string& keys) {
    return std::string("<INSTANCENAME CLASSNAME=\"") + className + "\">" + keys + "</INSTANCENAME>";
}
const std::string kNamespace =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"brocade\"/>"
    "</LOCALNAMESPACEPATH>";
std::string local(const std::string& name) {
    return "<LOCALINSTANCEPATH>" + kNamespace + name + "</LOCALINSTANCEPATH>";
}
std::string remote(const char* host, const std::string& name) {
    return std::string("<INSTANCEPATH><NAMESPACEPATH><HOST>") + host + "</HOST>" + kNamespace +
           "</NAMESPACEPATH>" + name + "</INSTANCEPATH>";
}

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

// An association instance between two instance names; `body` goes before its references.
std::string association(const char* className, const std::string& antecedent,
                        const std::string& dependent, const std::string& body = "") {
    return "<VALUE.NAMEDINSTANCE>\n" +
           name(className, key("Dependent", "reference", dependent) +
                               key("Antecedent", "reference", antecedent)) +
           "\n<INSTANCE CLASSNAME=\"" + className + "\">\n" + body +
           "<PROPERTY.REFERENCE NAME=\"Antecedent\" REFERENCECLASS=\"CIM_Controller\">" +
           reference(antecedent) +
           "</PROPERTY.REFERENCE>\n<PROPERTY.REFERENCE NAME=\"Dependent\">" + reference(dependent) +
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
const char kCodes[] =
    "<PROPERTY.ARRAY NAME=\"Codes\" TYPE=\"uint16\" ARRAYSIZE=\"4\"><VALUE.ARRAY><VALUE>1</VALUE>"
    "<VALUE>2</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>\n";

// A reference's XML, its path text, and its parts (partsOf; kinds 0 boolean, 1 string, 2 numeric,
// 3 reference); '#' stands for a number of the instance. Arrival orders are sorted, reversed, or
// differ only in case.
struct Reference {
    std::string xml;
    const char* text;
    const char* parts;
};
// clang-format off
const Reference kReferences[] = {
    {name("CIM_PortController", key("CreationClassName", "string", "CIM_PortController") +
          key("DeviceID", "string", "ctl-#") + key("SystemName", "string", "switch-A")),
     R"(CIM_PortController.CreationClassName="CIM_PortController",DeviceID="ctl-#",SystemName="switch-A")",
     "||CreationClassName:1 DeviceID:1 SystemName:1"},
    {local(name("CIM_FCPort", key("SystemName", "string", "s &amp; &lt;t>#") +
           key("DeviceID", "string", "port &quot;1&quot; \\ x") +
           key("creationClassName", "string", "CIM_FCPort") + key("Index", "numeric", "42"))),
     R"(root/brocade:CIM_FCPort.creationClassName="CIM_FCPort",DeviceID="port \"1\" \\ x",Index=42,SystemName="s & <t>#")",
     "|root/brocade|creationClassName:1 DeviceID:1 Index:2 SystemName:1"},
    {remote("10.1.2.3", name("CIM_PhysicalPackage", key("Tag", "string", "pkg-#") +
            key("_z", "boolean", "TRUE") + key("x", "numeric", "-3"))),
     R"(//10.1.2.3/root/brocade:CIM_PhysicalPackage._z=TRUE,Tag="pkg-#",x=-3)",
     "10.1.2.3|root/brocade|_z:0 Tag:1 x:2"},
    {name("XX_Component", key("b", "string", "1#") + key("B", "string", "2") +
          key("Group", "reference", name("CIM_ComputerSystem",
              key("Name", "string", "host &quot;a&quot;#") + key("CreationClassName", "", "CIM_CS"))) +
          key("Peer", "reference", remote("sw1.example:5989",
              name("CIM_ComputerSystem", key("Name", "string", "sw\\1")))) +
          key("a1", "", "untyped")),
     R"(XX_Component.a1="untyped",b="1#",B="2",Group="CIM_ComputerSystem.CreationClassName=\"CIM_CS\",Name=\"host \\\"a\\\"#\"",Peer="//sw1.example:5989/root/brocade:CIM_ComputerSystem.Name=\"sw\\\\1\"")",
     "||a1:1 b:1 B:1 Group:3 Peer:3"},
};
// clang-format on

std::string numbered(const std::string& text, int number) {
    return std::regex_replace(text, std::regex("#"), std::to_string(number));
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

constexpr int kInstances = 200;

// Both references of an instance are now of one shape, now of two; the dependent's values
// (numbered from 100 on) differ from the antecedent's and are as long from instance 100 on.
const Reference& antecedentOf(int serial) { return kReferences[serial % 4]; }
const Reference& dependentOf(int serial) { return kReferences[serial / 4 % 4]; }
constexpr int kDependentValues = 100;

std::string response() {
    std::string body = kEnumerationHead;
    for (int serial = 0; serial < kInstances; ++serial) {
        const std::string antecedent = numbered(antecedentOf(serial).xml, serial);
        const std::string dependent = numbered(dependentOf(serial).xml, serial + kDependentValues);
        body += association("XX_Assoc", antecedent, dependent);
    }
    return body + kEnumerationTail;
}

std::string text(const CIMObjectPath& path) { return path.toString().utf8(); }

// "HOST|NAMESPACE|" and the names of the keys in their order, each with its kind.
std::string partsOf(const CIMObjectPath& path) {
    std::string parts = path.getHost().utf8() + "|" + path.getNameSpace().getString().utf8() + "|";
    const Array<CIMKeyBinding>& bindings = path.getKeyBindings();
    for (Uint32 i = 0; i < bindings.size(); ++i) {
        parts += (i ? " " : "") + bindings[i].getName().getString().utf8() + ":" +
                 std::to_string(bindings[i].getType());
    }
    return parts;
}

CIMObjectPath referenceOf(const CIMInstance& instance, const char* name) {
    CIMObjectPath path;
    instance.getProperty(instance.findProperty(CIMName(name))).getValue().get(path);
    return path;
}

}  // namespace

// An instance that repeats the one before it in part is built from it: however it differs (values,
// qualifiers, order, names, a repeated name, class), it is what it decodes to alone, and changing
// one changes no other.
TEST(InstanceSharing, eachInstanceOfAnEnumerationIsWhatItDecodesToAlone) {
    // Instances 2n and 2n+1 link the same controller, each to a port of its own.
    const auto linking = [](int serial, const char* className, const std::string& body) {
        return association(
            className, name("XX_Ctl", key("DeviceID", "", "ctl-" + std::to_string(serial / 2))),
            name("XX_Port", key("DeviceID", "", "port-" + std::to_string(serial))), body);
    };
    const std::string base =
        std::string(kDescription) + kSpeed + named("<VALUE>a</VALUE>") + kCodes;
    const std::vector<std::string> instances = {
        linking(0, "XX_A", base),
        linking(1, "XX_A", base),
        linking(2, "XX_A", std::string(kDescription) + kSpeed + named("<VALUE>b</VALUE>") + kCodes),
        linking(3, "XX_A", std::string(kDescription) + kSpeed + named("") + kCodes),
        linking(4, "XX_A",
                std::string(kDescription) + kSpeed +
                    named("<QUALIFIER NAME=\"EmbeddedObject\" TYPE=\"boolean\">"
                          "<VALUE>true</VALUE></QUALIFIER>") +
                    kCodes),
        linking(5, "XX_A",
                std::string(kDescription) + kSpeed + named("<VALUE>b</VALUE>") +
                    "<PROPERTY.ARRAY NAME=\"Codes\" TYPE=\"uint16\"><VALUE.ARRAY>"
                    "<VALUE>3</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>\n"),
        linking(6, "XX_A", replaced(base, "controller", "port")),
        linking(7, "XX_A", std::string(kDescription) + named("<VALUE>a</VALUE>") + kSpeed + kCodes),
        linking(8, "XX_A", replaced(base, "\"Name\"", "\"NAME\"")),
        linking(9, "XX_A", base + named("<VALUE>again</VALUE>")),
        linking(10, "XX_A", base + named("<VALUE>again</VALUE>")),
        linking(11, "XX_A", base),
        linking(12, "XX_B", base),
        linking(13, "XX_B", base + kSpeed),
        linking(14, "XX_B", base),
    };
    std::string all;
    for (const std::string& instance : instances) all += instance;
    const Array<CIMInstance> decoded =
        cimxml::decodeEnumerateInstances(kEnumerationHead + all + kEnumerationTail, 1000);
    ASSERT_EQ(decoded.size(), instances.size());
    std::vector<std::string> alone;
    for (const std::string& instance : instances) {
        alone.push_back(whole(cimxml::decodeEnumerateInstances(
            kEnumerationHead + instance + kEnumerationTail, 1000)[0]));
        EXPECT_EQ(whole(decoded[alone.size() - 1]), alone.back())
            << "instance " << alone.size() - 1;
    }
    CIMInstance changed = decoded[1];
    changed.removeProperty(changed.findProperty("Name"));
    changed.addProperty(CIMProperty(CIMName("Name"), CIMValue(String("changed"))));
    changed.setPath(CIMObjectPath());
    for (Uint32 i = 0; i < 3; ++i) EXPECT_EQ(whole(decoded[i]), alone[i]) << "instance " << i;
}

TEST(AssociationPaths, decodedPathsFollowThePathTextRules) {
    const Array<CIMInstance> instances = cimxml::decodeEnumerateInstances(response(), 1000);
    ASSERT_EQ(instances.size(), Uint32(kInstances));
    for (int serial = 0; serial < kInstances; ++serial) {
        SCOPED_TRACE("instance " + std::to_string(serial));
        const CIMInstance& instance = instances[serial];
        const struct {
            const char* role;
            const Reference& reference;
            int number;
        } roles[] = {{"Antecedent", antecedentOf(serial), serial},
                     {"Dependent", dependentOf(serial), serial + kDependentValues}};
        EXPECT_EQ(text(instance.getPath()),
                  "XX_Assoc.Antecedent=" + quoted(numbered(roles[0].reference.text, serial)) +
                      ",Dependent=" + quoted(numbered(roles[1].reference.text, roles[1].number)));
        for (const auto& [role, reference, number] : roles) {
            const CIMObjectPath path = referenceOf(instance, role);
            EXPECT_EQ(text(path), numbered(reference.text, number)) << role;
            EXPECT_EQ(partsOf(path), reference.parts) << role;
            // Its text parsed back is the same path, with keys of the same kinds.
            const CIMObjectPath parsed(String::fromUtf8(text(path)));
            EXPECT_EQ(partsOf(parsed), reference.parts) << role;
            EXPECT_TRUE(parsed.identical(path)) << role;
        }
    }
}

TEST(AssociationPaths, aChangedCopyHasItsOwnTextAndLeavesTheOriginalAlone) {
    const Array<CIMInstance> instances = cimxml::decodeEnumerateInstances(response(), 1000);
    const CIMObjectPath original = referenceOf(instances[2], "Antecedent");
    const std::string before = text(original);
    const struct {
        const char* what;
        void (*apply)(CIMObjectPath&);
        std::string expected;
    } changes[] = {
        {"host", [](CIMObjectPath& p) { p.setHost("other"); },
         R"(//other/root/brocade:CIM_PhysicalPackage._z=TRUE,Tag="pkg-2",x=-3)"},
        {"keys",
         [](CIMObjectPath& p) {
             p.setKeyBindings(
                 Array<CIMKeyBinding>(1, CIMKeyBinding(CIMName("Z"), "1", CIMKeyBinding::NUMERIC)));
         },
         "//10.1.2.3/root/brocade:CIM_PhysicalPackage.Z=1"},
        {"cleared", [](CIMObjectPath& p) { p.clear(); }, ""},
    };
    for (const auto& change : changes) {
        // A copy sharing the decoded path, and a path of its own whose text was already made.
        CIMObjectPath copy = original;
        CIMObjectPath own(original.getHost(), original.getNameSpace(), original.getClassName(),
                          original.getKeyBindings());
        for (CIMObjectPath* path : {&copy, &own}) {
            EXPECT_EQ(text(*path), before) << change.what;
            change.apply(*path);
            EXPECT_EQ(text(*path), change.expected) << change.what;
        }
        EXPECT_EQ(text(original), before) << change.what;
        EXPECT_EQ(text(referenceOf(instances[2], "Antecedent")), before) << change.what;
    }
}

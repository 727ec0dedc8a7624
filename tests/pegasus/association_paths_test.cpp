// The paths an association response decodes to (instance names with reference keys, reference
// properties in every path form) against texts worked out by hand by the client's path text rules:
// keys sorted by name with ASCII case folded, equal names in arrival order, strings and references
// quoted and escaped, a nested path's host and namespace kept; each text parses back to its path.
// Paths share their contents and their text once made, so changed copies are checked too.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "cimxml/response_decoder.h"

using namespace Pegasus;

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

// A reference's XML, its path text, and "HOST|NAMESPACE|" with its keys in their order, each with
// its kind (0 boolean, 1 string, 2 numeric, 3 reference). '#' stands for a number of the instance.
// Arrival orders are sorted, reversed, differ only in case, and hold '_', numbers, booleans,
// entities and nested references.
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

std::string property(const char* role, const std::string& xml) {
    return std::string("<PROPERTY.REFERENCE NAME=\"") + role + "\">" + reference(xml) +
           "</PROPERTY.REFERENCE>\n";
}

std::string response() {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
        "<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
    for (int serial = 0; serial < kInstances; ++serial) {
        const std::string antecedent = numbered(antecedentOf(serial).xml, serial);
        const std::string dependent = numbered(dependentOf(serial).xml, serial + kDependentValues);
        body += "<VALUE.NAMEDINSTANCE>\n" +
                name("XX_Assoc", key("Dependent", "reference", dependent) +
                                     key("Antecedent", "reference", antecedent)) +
                "\n<INSTANCE CLASSNAME=\"XX_Assoc\">\n" + property("Antecedent", antecedent) +
                property("Dependent", dependent) + "</INSTANCE>\n</VALUE.NAMEDINSTANCE>\n";
    }
    return body + "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
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

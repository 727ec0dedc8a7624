// The paths an association response decodes to (instance names with reference keys, reference
// properties in every path form) against the path text rules the client has always followed,
// worked out here on their own: keys sorted by name with ASCII case folded, equal names in
// arrival order, string and reference values quoted and escaped, a nested path's host and
// namespace kept. Paths share their contents and their text once made, so copies that are
// changed afterwards are checked too.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "response_decoder.h"

using namespace Pegasus;

namespace {

struct Reference;

struct Key {
    const char* name;
    const char* type;  // KEYVALUE's VALUETYPE; "" for none, "reference" for `nested`
    std::string value;
    const Reference* nested = nullptr;
};

struct Reference {
    const char* host;  // INSTANCEPATH when set, else LOCALINSTANCEPATH when `local`
    bool local;        // in root/brocade
    const char* className;
    std::vector<Key> keys;  // in the order they arrive
};

// clang-format off
const Reference kSystem{"", false, "CIM_ComputerSystem",
                        {{"Name", "string", "host \"a\""}, {"CreationClassName", "", "CIM_CS"}}};
const Reference kRemote{"sw1.example:5989", true, "CIM_ComputerSystem", {{"Name", "string", "sw\\1"}}};

// Arrival orders that are sorted, reversed, differ only in case, and hold '_', numbers,
// booleans, entities and nested references.
const std::vector<Reference> kReferences = {
    {"", false, "CIM_PortController", {{"CreationClassName", "string", "CIM_PortController"},
        {"DeviceID", "string", "ctl-"}, {"SystemCreationClassName", "string", "CIM_ComputerSystem"},
        {"SystemName", "string", "switch-A"}}},
    {"", true, "CIM_FCPort", {{"SystemName", "string", "s & <t>"},
        {"DeviceID", "string", "port \"1\" \\ x"}, {"creationClassName", "string", "CIM_FCPort"},
        {"Index", "numeric", "42"}}},
    {"10.1.2.3", true, "CIM_PhysicalPackage",
        {{"Tag", "string", "pkg-"}, {"_z", "boolean", "TRUE"}, {"a", "numeric", "-3"}}},
    {"", false, "XX_Component", {{"b", "string", "1"}, {"B", "string", "2"},
        {"Group", "reference", "", &kSystem}, {"Peer", "reference", "", &kRemote},
        {"a1", "", "untyped"}}},
};
// clang-format on

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '"' ? "&quot;" : std::string(1, c);
    }
    return out;
}

std::string valueOf(const Key& key, int serial) {
    return key.type == std::string("string") ? key.value + std::to_string(serial) : key.value;
}

void valueReference(const Reference& reference, int serial, std::string& out) {
    std::string name = "<INSTANCENAME CLASSNAME=\"" + std::string(reference.className) + "\">";
    for (const Key& key : reference.keys) {
        name += "<KEYBINDING NAME=\"" + std::string(key.name) + "\">";
        if (key.nested != nullptr) {
            valueReference(*key.nested, serial, name);
        } else {
            name += key.type[0] ? "<KEYVALUE VALUETYPE=\"" + std::string(key.type) + "\">"
                                : std::string("<KEYVALUE>");
            name += escaped(valueOf(key, serial)) + "</KEYVALUE>";
        }
        name += "</KEYBINDING>\n";
    }
    name += "</INSTANCENAME>";
    const std::string nameSpace =
        "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"brocade\"/>"
        "</LOCALNAMESPACEPATH>";
    out += "<VALUE.REFERENCE>";
    if (reference.host[0] != '\0') {
        out += "<INSTANCEPATH><NAMESPACEPATH><HOST>" + std::string(reference.host) + "</HOST>" +
               nameSpace + "</NAMESPACEPATH>" + name + "</INSTANCEPATH>";
    } else if (reference.local) {
        out += "<LOCALINSTANCEPATH>" + nameSpace + name + "</LOCALINSTANCEPATH>";
    } else {
        out += name;
    }
    out += "</VALUE.REFERENCE>\n";
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

std::vector<Key> sortedKeys(const Reference& reference) {
    std::vector<Key> keys = reference.keys;
    std::stable_sort(keys.begin(), keys.end(), [](const Key& left, const Key& right) {
        return strcasecmp(left.name, right.name) < 0;  // ASCII case folded
    });
    return keys;
}

std::string expectedText(const Reference& reference, int serial);

std::string expectedValue(const Key& key, int serial) {
    return key.nested != nullptr ? expectedText(*key.nested, serial) : valueOf(key, serial);
}

std::string expectedText(const Reference& reference, int serial) {
    std::string out;
    if (reference.host[0] != '\0') out += "//" + std::string(reference.host) + "/";
    if (reference.host[0] != '\0' || reference.local) out += "root/brocade:";
    out += reference.className;
    const std::vector<Key> keys = sortedKeys(reference);
    for (size_t i = 0; i < keys.size(); ++i) {
        const bool bare =
            keys[i].type == std::string("numeric") || keys[i].type == std::string("boolean");
        const std::string value = expectedValue(keys[i], serial);
        out +=
            (i == 0 ? "." : ",") + std::string(keys[i].name) + "=" + (bare ? value : quoted(value));
    }
    return out;
}

constexpr int kInstances = 200;

// Both references of an instance are now of one shape, now of two; the dependent's values
// (numbered from 100 on) differ from the antecedent's and are as long from instance 100 on.
const Reference& antecedentOf(int serial) { return kReferences[serial % 4]; }
const Reference& dependentOf(int serial) { return kReferences[serial / 4 % 4]; }
constexpr int kDependentValues = 100;

std::string response() {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
        "<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
    for (int serial = 0; serial < kInstances; ++serial) {
        std::string antecedent;
        std::string dependent;
        valueReference(antecedentOf(serial), serial, antecedent);
        valueReference(dependentOf(serial), serial + kDependentValues, dependent);
        body +=
            "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"XX_Assoc\">\n"
            "<KEYBINDING NAME=\"Dependent\">" +
            dependent + "</KEYBINDING>\n<KEYBINDING NAME=\"Antecedent\">" + antecedent +
            "</KEYBINDING>\n</INSTANCENAME>\n<INSTANCE CLASSNAME=\"XX_Assoc\">\n"
            "<PROPERTY.REFERENCE NAME=\"Antecedent\">" +
            antecedent + "</PROPERTY.REFERENCE>\n<PROPERTY.REFERENCE NAME=\"Dependent\">" +
            dependent + "</PROPERTY.REFERENCE>\n</INSTANCE>\n</VALUE.NAMEDINSTANCE>\n";
    }
    return body + "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
}

std::string text(const CIMObjectPath& path) { return path.toString().utf8(); }

CIMObjectPath referenceOf(const CIMInstance& instance, const char* name) {
    CIMObjectPath path;
    instance.getProperty(instance.findProperty(CIMName(name))).getValue().get(path);
    return path;
}

CIMKeyBinding::Type kindOf(const Key& key) {
    const std::string type = key.type;
    return type == "numeric"     ? CIMKeyBinding::NUMERIC
           : type == "boolean"   ? CIMKeyBinding::BOOLEAN
           : type == "reference" ? CIMKeyBinding::REFERENCE
                                 : CIMKeyBinding::STRING;
}

}  // namespace

TEST(AssociationPaths, decodedPathsFollowThePathTextRules) {
    const Array<CIMInstance> instances = cimxml::decodeEnumerateInstances(response(), 1000);
    ASSERT_EQ(instances.size(), Uint32(kInstances));
    for (int serial = 0; serial < kInstances; ++serial) {
        SCOPED_TRACE("instance " + std::to_string(serial));
        const CIMInstance& instance = instances[serial];
        const Reference& antecedent = antecedentOf(serial);
        const Reference& dependent = dependentOf(serial);
        EXPECT_EQ(text(instance.getPath()),
                  "XX_Assoc.Antecedent=" + quoted(expectedText(antecedent, serial)) +
                      ",Dependent=" + quoted(expectedText(dependent, serial + kDependentValues)));
        const struct {
            const char* role;
            const Reference* reference;
            int values;
        } roles[] = {{"Antecedent", &antecedent, serial},
                     {"Dependent", &dependent, serial + kDependentValues}};
        for (const auto& [role, reference, values] : roles) {
            const CIMObjectPath path = referenceOf(instance, role);
            EXPECT_EQ(text(path), expectedText(*reference, values)) << role;
            EXPECT_EQ(path.getHost().utf8(), reference->host) << role;
            EXPECT_EQ(path.getNameSpace().getString().utf8(),
                      reference->local ? "root/brocade" : "")
                << role;
            // Each key: name, raw value and kind, in sorted order.
            const std::vector<Key> keys = sortedKeys(*reference);
            const Array<CIMKeyBinding>& bindings = path.getKeyBindings();
            ASSERT_EQ(bindings.size(), keys.size());
            for (Uint32 i = 0; i < bindings.size(); ++i) {
                EXPECT_EQ(bindings[i].getName().getString().utf8(), keys[i].name);
                EXPECT_EQ(bindings[i].getValue().utf8(), expectedValue(keys[i], values));
                EXPECT_EQ(bindings[i].getType(), kindOf(keys[i])) << keys[i].name;
            }
            // The same path made through the public constructor, keys in arrival order.
            Array<CIMKeyBinding> arrived;
            for (const Key& key : reference->keys) {
                arrived.append(CIMKeyBinding(CIMName(key.name), expectedValue(key, values).c_str(),
                                             kindOf(key)));
            }
            const CIMObjectPath rebuilt(path.getHost(), path.getNameSpace(), path.getClassName(),
                                        arrived);
            EXPECT_EQ(text(rebuilt), text(path)) << role;
            EXPECT_TRUE(rebuilt.identical(path)) << role;
        }
    }
}

TEST(AssociationPaths, aChangedCopyHasItsOwnTextAndLeavesTheOriginalAlone) {
    const Array<CIMInstance> instances = cimxml::decodeEnumerateInstances(response(), 1000);
    const int serial = 2;
    const CIMObjectPath original = referenceOf(instances[serial], "Antecedent");
    const std::string before = text(original);
    struct Change {
        const char* what;
        void (*apply)(CIMObjectPath&);
        std::string expected;
    };
    const std::string keys = before.substr(before.find(":CIM_PhysicalPackage") + 20);
    const Change changes[] = {
        {"host", [](CIMObjectPath& p) { p.setHost("other"); },
         "//other/root/brocade:CIM_PhysicalPackage" + keys},
        {"keys",
         [](CIMObjectPath& p) {
             p.setKeyBindings(
                 Array<CIMKeyBinding>(1, CIMKeyBinding(CIMName("Z"), "1", CIMKeyBinding::NUMERIC)));
         },
         "//10.1.2.3/root/brocade:CIM_PhysicalPackage.Z=1"},
        {"cleared", [](CIMObjectPath& p) { p.clear(); }, ""},
    };
    for (const Change& change : changes) {
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
        EXPECT_EQ(text(referenceOf(instances[serial], "Antecedent")), before) << change.what;
    }
}

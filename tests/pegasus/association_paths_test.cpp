// The paths an association response decodes to (instance names with reference keys, reference
// properties in every path form) against the path text rules the client has always followed,
// worked out here on their own: keys sorted by name with ASCII case folded, equal names in
// arrival order, string and reference values quoted and escaped, a nested path's host and
// namespace kept. Paths share their contents and their text once made, so copies that are
// changed afterwards are checked too.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>
#include <gtest/gtest.h>

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
    const char* host;       // INSTANCEPATH when set
    const char* nameSpace;  // LOCALINSTANCEPATH when set without a host
    const char* className;
    std::vector<Key> keys;  // in the order they arrive
};

const Reference kSystem{"",
                        "",
                        "CIM_ComputerSystem",
                        {{"Name", "string", "host \"a\""}, {"CreationClassName", "", "CIM_CS"}}};
const Reference kRemote{
    "sw1.example:5989", "root/brocade", "CIM_ComputerSystem", {{"Name", "string", "sw\\1"}}};

// Arrival orders that are sorted, reversed, differ only in case, and hold '_', numbers,
// booleans, entities and nested references.
const std::vector<Reference> kReferences = {
    {"",
     "",
     "CIM_PortController",
     {{"CreationClassName", "string", "CIM_PortController"},
      {"DeviceID", "string", "ctl-"},
      {"SystemCreationClassName", "string", "CIM_ComputerSystem"},
      {"SystemName", "string", "switch-A"}}},
    {"",
     "root/brocade",
     "CIM_FCPort",
     {{"SystemName", "string", "s & <t>"},
      {"DeviceID", "string", "port \"1\" \\ x"},
      {"creationClassName", "string", "CIM_FCPort"},
      {"Index", "numeric", "42"}}},
    {"10.1.2.3",
     "root/brocade",
     "CIM_PhysicalPackage",
     {{"Tag", "string", "pkg-"}, {"_z", "boolean", "TRUE"}, {"a", "numeric", "-3"}}},
    {"",
     "",
     "XX_Component",
     {{"b", "string", "1"},
      {"B", "string", "2"},
      {"Group", "reference", "", &kSystem},
      {"Peer", "reference", "", &kRemote},
      {"a1", "", "untyped"}}},
};

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
    std::string nameSpace;
    for (const char* part = reference.nameSpace; *part != '\0';) {
        const char* end = std::find(part, part + std::char_traits<char>::length(part), '/');
        nameSpace += "<NAMESPACE NAME=\"" + std::string(part, end) + "\"/>";
        part = *end == '/' ? end + 1 : end;
    }
    nameSpace = "<LOCALNAMESPACEPATH>" + nameSpace + "</LOCALNAMESPACEPATH>";
    out += "<VALUE.REFERENCE>";
    if (reference.host[0] != '\0') {
        out += "<INSTANCEPATH><NAMESPACEPATH><HOST>" + std::string(reference.host) + "</HOST>" +
               nameSpace + "</NAMESPACEPATH>" + name + "</INSTANCEPATH>";
    } else if (reference.nameSpace[0] != '\0') {
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

std::string folded(const char* name) {
    std::string out(name);
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::vector<Key> sortedKeys(const Reference& reference) {
    std::vector<Key> keys = reference.keys;
    std::stable_sort(keys.begin(), keys.end(), [](const Key& left, const Key& right) {
        return folded(left.name) < folded(right.name);
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
    if (reference.host[0] != '\0' || reference.nameSpace[0] != '\0') {
        out += std::string(reference.nameSpace) + ":";
    }
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

const Reference& antecedentOf(int serial) { return kReferences[serial % kReferences.size()]; }
const Reference& dependentOf(int serial) { return kReferences[(serial + 1) % kReferences.size()]; }

std::string response() {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
        "<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
    for (int serial = 0; serial < kInstances; ++serial) {
        std::string antecedent;
        std::string dependent;
        valueReference(antecedentOf(serial), serial, antecedent);
        valueReference(dependentOf(serial), serial, dependent);
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

// Each key of `path` against the expected keys: name, raw value and kind, in sorted order.
void expectKeys(const CIMObjectPath& path, const Reference& reference, int serial) {
    const std::vector<Key> keys = sortedKeys(reference);
    const Array<CIMKeyBinding>& bindings = path.getKeyBindings();
    ASSERT_EQ(bindings.size(), keys.size());
    for (Uint32 i = 0; i < bindings.size(); ++i) {
        EXPECT_EQ(bindings[i].getName().getString().utf8(), keys[i].name);
        EXPECT_EQ(bindings[i].getValue().utf8(), expectedValue(keys[i], serial));
        EXPECT_EQ(bindings[i].getType(), kindOf(keys[i])) << keys[i].name;
    }
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
                      ",Dependent=" + quoted(expectedText(dependent, serial)));
        for (const auto& [role, reference] :
             {std::make_pair("Antecedent", &antecedent), std::make_pair("Dependent", &dependent)}) {
            const CIMObjectPath path = referenceOf(instance, role);
            EXPECT_EQ(text(path), expectedText(*reference, serial)) << role;
            EXPECT_EQ(path.getHost().utf8(), reference->host) << role;
            EXPECT_EQ(path.getNameSpace().getString().utf8(), reference->nameSpace) << role;
            expectKeys(path, *reference, serial);
            // The same path made through the public constructor, keys in arrival order.
            Array<CIMKeyBinding> arrived;
            for (const Key& key : reference->keys) {
                arrived.append(CIMKeyBinding(CIMName(key.name), expectedValue(key, serial).c_str(),
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
    const std::string location = "//10.1.2.3/root/brocade:";
    const std::string keys = before.substr(before.find(":CIM_PhysicalPackage") + 20);
    const Change changes[] = {
        {"host", [](CIMObjectPath& p) { p.setHost("other"); },
         "//other/root/brocade:CIM_PhysicalPackage" + keys},
        {"namespace", [](CIMObjectPath& p) { p.setNameSpace(CIMNamespaceName("root/x")); },
         "//10.1.2.3/root/x:CIM_PhysicalPackage" + keys},
        {"class", [](CIMObjectPath& p) { p.setClassName(CIMName("XX_Card")); },
         location + "XX_Card" + keys},
        {"keys",
         [](CIMObjectPath& p) {
             p.setKeyBindings(
                 Array<CIMKeyBinding>(1, CIMKeyBinding(CIMName("Z"), "1", CIMKeyBinding::NUMERIC)));
         },
         location + "CIM_PhysicalPackage.Z=1"},
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

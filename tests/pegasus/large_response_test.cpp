// The production decoder against a plain reference decode (a pugixml tree,
// read the obvious way) of the generated server-shaped response: every path
// text, property name, type and value text must agree, however the body is
// cut into pieces on its way in.
#include <Pegasus/Common/CIMInstance.h>
#include <gtest/gtest.h>

#include <strings.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "large_enumeration.h"
#include "response_decoder.h"

using namespace Pegasus;

namespace {

struct PropertyText {
    std::string name;
    std::string type;
    bool isArray;
    bool isNull;
    std::string text;
};

struct InstanceText {
    std::string className;
    std::string path;
    std::vector<PropertyText> properties;
};

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// How OpenPegasus prints one VALUE's text of a CIM type.
std::string valueText(const std::string& type, const char* text) {
    if (type == "boolean") return strcasecmp(text, "true") == 0 ? "TRUE" : "FALSE";
    if (type.compare(0, 4, "uint") == 0) return std::to_string(std::strtoull(text, nullptr, 10));
    if (type.compare(0, 4, "sint") == 0) return std::to_string(std::strtoll(text, nullptr, 10));
    return text;
}

std::vector<InstanceText> referenceDecode(const std::string& body) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_buffer(body.data(), body.size()));
    std::vector<InstanceText> instances;
    pugi::xml_node returned = document.child("CIM")
                                  .child("MESSAGE")
                                  .child("SIMPLERSP")
                                  .child("IMETHODRESPONSE")
                                  .child("IRETURNVALUE");
    for (pugi::xml_node named : returned.children("VALUE.NAMEDINSTANCE")) {
        InstanceText instance;
        pugi::xml_node name = named.child("INSTANCENAME");
        std::vector<pugi::xml_node> keys(name.children("KEYBINDING").begin(),
                                         name.children("KEYBINDING").end());
        std::sort(keys.begin(), keys.end(), [](const pugi::xml_node& a, const pugi::xml_node& b) {
            return strcasecmp(a.attribute("NAME").value(), b.attribute("NAME").value()) < 0;
        });
        instance.path = std::string(name.attribute("CLASSNAME").value()) + ".";
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i > 0) instance.path += ",";
            instance.path += std::string(keys[i].attribute("NAME").value()) + "=" +
                             quoted(keys[i].child_value("KEYVALUE"));
        }
        pugi::xml_node node = named.child("INSTANCE");
        instance.className = node.attribute("CLASSNAME").value();
        for (pugi::xml_node property : node.children()) {
            bool isArray = std::strcmp(property.name(), "PROPERTY.ARRAY") == 0;
            if (!isArray && std::strcmp(property.name(), "PROPERTY") != 0) continue;
            PropertyText expected{property.attribute("NAME").value(),
                                  property.attribute("TYPE").value(), isArray, true, ""};
            if (isArray && property.child("VALUE.ARRAY")) {
                expected.isNull = false;
                for (pugi::xml_node item : property.child("VALUE.ARRAY").children("VALUE")) {
                    expected.text += valueText(expected.type, item.child_value()) + " ";
                }
            } else if (!isArray && property.child("VALUE")) {
                expected.isNull = false;
                expected.text = valueText(expected.type, property.child_value("VALUE"));
            }
            instance.properties.push_back(expected);
        }
        instances.push_back(instance);
    }
    return instances;
}

Array<CIMInstance> decodeInPieces(const std::string& body, size_t piece) {
    cimxml::ResponseDecoder decoder(cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000);
    for (size_t offset = 0; offset < body.size(); offset += piece) {
        decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
    }
    return decoder.finishEnumerateInstances();
}

TEST(LargeResponse, decodesToTheSameTextsAsAPlainTreeReadingHoweverItArrives) {
    const std::string body = large_enumeration::response(400);
    const std::vector<InstanceText> expected = referenceDecode(body);
    ASSERT_EQ(expected.size(), 400u);
    // Whole, in pieces that split names, entities and UTF-8 anywhere, and
    // in the transport's buffer size.
    for (size_t piece : {body.size(), size_t(1021), size_t(256 * 1024)}) {
        Array<CIMInstance> instances = decodeInPieces(body, piece);
        ASSERT_EQ(instances.size(), expected.size()) << "pieces of " << piece;
        for (Uint32 i = 0; i < instances.size(); ++i) {
            const CIMInstance& instance = instances[i];
            const InstanceText& want = expected[i];
            ASSERT_EQ(instance.getClassName().getString().utf8(), want.className);
            ASSERT_EQ(instance.getPath().toString().utf8(), want.path);
            ASSERT_EQ(instance.getPropertyCount(), want.properties.size());
            for (Uint32 p = 0; p < instance.getPropertyCount(); ++p) {
                CIMConstProperty property = instance.getProperty(p);
                const PropertyText& wantProperty = want.properties[p];
                ASSERT_EQ(property.getName().getString().utf8(), wantProperty.name);
                const CIMValue& value = property.getValue();
                ASSERT_STREQ(cimTypeToString(value.getType()), wantProperty.type.c_str());
                ASSERT_EQ(value.isArray(), wantProperty.isArray) << wantProperty.name;
                ASSERT_EQ(value.isNull(), wantProperty.isNull) << wantProperty.name;
                ASSERT_EQ(value.toString().utf8(), wantProperty.text)
                    << "instance " << i << " property " << wantProperty.name;
            }
        }
    }
}

}  // namespace

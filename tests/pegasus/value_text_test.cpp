// Values from the texts of VALUE elements, and the text forms of values and paths, as OpenPegasus
// reads and prints them (captures/api-values.txt).
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "capture_files.h"
#include "cimxml/value_text.h"
#include "failure_text.h"

using namespace Pegasus;

namespace {

template <class Convert>
std::string converted(CIMType type, bool isArray, Convert convert) {
    try {
        CIMValue value = convert();
        EXPECT_EQ(value.getType(), type);
        EXPECT_EQ(value.isArray(), isArray);
        EXPECT_FALSE(value.isNull());
        return value.toString().utf8();
    } catch (const CIMClientXmlException& error) {
        return error.getMessage().utf8();
    }
}

// Each row of value_texts.json is read as a scalar from its first text and as an array of all
// its texts, item i standing on line 7 + i so that an error names its item. A row's "scalar" and
// "array" are the value's text form or the error's; no "array": as the scalar.
TEST(ValueFromText, readsAndPrintsEveryTypeAsOpenPegasus) {
    for (const auto& row : nlohmann::json::parse(capture::readFile("../value_texts.json"))) {
        SCOPED_TRACE(row["name"].get<std::string>());
        CIMType type = CIMTYPE_BOOLEAN;
        while (type < CIMTYPE_INSTANCE && row["type"] != cimTypeToString(type)) {
            type = CIMType(type + 1);
        }
        const std::vector<std::string> texts = row["texts"];
        if (!texts.empty()) {
            EXPECT_EQ(converted(type, false,
                                [&] { return cimxml::valueFromText(type, texts[0].c_str(), 7); }),
                      row["scalar"]);
        }
        const auto eachText = [&](auto&& take) {
            for (size_t i = 0; i < texts.size(); ++i) take(texts[i].c_str(), 7 + i);
        };
        EXPECT_EQ(converted(type, true, [&] { return cimxml::arrayFromTexts(type, eachText); }),
                  row.value("array", row["scalar"].get<std::string>()));
    }
}

CIMObjectPath pathOf(const char* className, std::initializer_list<CIMKeyBinding> keys,
                     const char* host = "", const char* nameSpace = "") {
    Array<CIMKeyBinding> bindings;
    for (const CIMKeyBinding& key : keys) bindings.append(key);
    return CIMObjectPath(host, nameSpace[0] ? CIMNamespaceName(nameSpace) : CIMNamespaceName(),
                         CIMName(className), bindings);
}

// Values and paths no VALUE text makes: references, nulls, keys made from values, parsed paths.
TEST(ValueText, ofReferencesNullsAndPaths) {
    Array<CIMObjectPath> paths;
    paths.append(pathOf("CIM_A", {CIMKeyBinding("K", "1", CIMKeyBinding::STRING)}));
    paths.append(pathOf("CIM_B", {CIMKeyBinding("N", "2", CIMKeyBinding::NUMERIC)}, "h", "root/x"));
    const struct {
        CIMValue value;
        const char* text;  // empty for the null values, and only for them
    } cases[] = {
        {CIMValue(paths), "CIM_A.K=\"1\" //h/root/x:CIM_B.N=2 "},
        {CIMValue(pathOf("CIM_C", {CIMKeyBinding("D", "x\"y", CIMKeyBinding::STRING)}, "h")),
         "//h/:CIM_C.D=\"x\\\"y\""},
        {CIMValue(pathOf(
             "X_K",
             {CIMKeyBinding("U8", CIMValue(Uint8(7))), CIMKeyBinding("S", CIMValue(Sint32(-3))),
              CIMKeyBinding("Bo", CIMValue(true)), CIMKeyBinding("Ch", CIMValue(Char16('c'))),
              CIMKeyBinding("Dt", CIMValue(CIMDateTime("20240131123045.123456+060"))),
              CIMKeyBinding("R", CIMValue(paths[0]))})),
         "X_K.Bo=TRUE,Ch=\"c\",Dt=\"20240131123045.123456+060\",R=\"CIM_A.K=\\\"1\\\"\",S=-3,U8=7"},
        {CIMValue(CIMObjectPath(String("root/brocade:CIM_Singleton"))),
         "root/brocade:CIM_Singleton"},
        {CIMValue(), ""},
        {CIMValue(CIMTYPE_STRING, false), ""},
        {CIMValue(CIMTYPE_UINT16, true), ""},
        {CIMValue(CIMTYPE_REAL32, true), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.isNull(), c.text[0] == '\0') << c.text;
        EXPECT_EQ(c.value.toString().utf8(), c.text);
    }
}

TEST(ValueGet, readsOnlyItsOwnTypeAndLeavesTargetAloneWhenNull) {
    Uint16 code = 0;
    CIMValue(Uint16(5)).get(code);
    EXPECT_EQ(code, 5);
    Uint32 wide = 0;
    EXPECT_EQ(failure_text::of([&] { CIMValue(Uint16(5)).get(wide); }),
              "TypeMismatchException: type mismatch");
    String text("unchanged");
    CIMValue(CIMTYPE_STRING, false).get(text);
    EXPECT_EQ(text.utf8(), "unchanged");
    Array<String> scalarAsArray;
    EXPECT_THROW(CIMValue(String("x")).get(scalarAsArray), TypeMismatchException);
}

TEST(StringSize, countsUtf16CodeUnits) {
    String cafe("caf\xC3\xA9");
    EXPECT_EQ(cafe.size(), 4u);
    EXPECT_EQ(Uint16(cafe[3]), 0xE9);
    EXPECT_EQ(std::string(cafe.getCString()), "caf\xC3\xA9");
    EXPECT_EQ(String("\xF0\x9F\x98\x80").size(), 2u);
    EXPECT_THROW(cafe[4], IndexOutOfBoundsException);
}

TEST(PathParsing, rejectsMalformedNamesWithOpenPegasusText) {
    const std::string malformed = "MalformedObjectNameException: malformed object name: ";
    EXPECT_EQ(
        failure_text::of([] { CIMObjectPath(String("CIM_Singleton=@")); }),
        malformed + "CIM_Singleton=@, reason:\"class name CIM_Singleton=@ not a legal CIM name\"");
    EXPECT_EQ(failure_text::of([] { CIMObjectPath(String("CIM_X.K=\"unterminated")); }),
              malformed +
                  "CIM_X.K=\"unterminated, reason:\"invalid key-value pair, missing quote in "
                  "key value\"");
}

}  // namespace

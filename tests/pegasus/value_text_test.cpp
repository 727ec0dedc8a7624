// Values from the texts of VALUE elements, and the text forms of values, keys
// and paths, as OpenPegasus reads and prints them (captures/api-values.txt).
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "value_text.h"

using namespace Pegasus;

namespace {

template <class T>
Array<T> arrayOf(std::initializer_list<T> items) {
    Array<T> array;
    for (const T& item : items) array.append(item);
    return array;
}

CIMObjectPath pathOf(const char* className, std::initializer_list<CIMKeyBinding> keys,
                     const char* host = "", const char* nameSpace = "") {
    Array<CIMKeyBinding> bindings;
    for (const CIMKeyBinding& key : keys) bindings.append(key);
    return CIMObjectPath(host, nameSpace[0] ? CIMNamespaceName(nameSpace) : CIMNamespaceName(),
                         CIMName(className), bindings);
}

// ctest shows a case by its name rather than as a dump of its bytes.
std::string caseName(const char* description) {
    std::string name = description;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

// A scalar has one text; an array's item i stands on line 7 + i, so that an
// error names the item it came from.
struct ConversionCase {
    const char* description;
    CIMType type;
    bool isArray;
    std::vector<const char*> texts;
    std::string expected;  // the value's text form, or the error's
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.description; }

std::string converted(const ConversionCase& c) {
    try {
        CIMValue value;
        if (c.isArray) {
            value = cimxml::arrayFromTexts(c.type, [&](auto&& take) {
                for (size_t i = 0; i < c.texts.size(); ++i) take(c.texts[i], 7 + i);
            });
        } else {
            value = cimxml::valueFromText(c.type, c.texts.at(0), 7);
        }
        EXPECT_EQ(value.getType(), c.type);
        EXPECT_EQ(value.isArray(), c.isArray);
        EXPECT_FALSE(value.isNull());
        return value.toString().utf8();
    } catch (const CIMClientXmlException& error) {
        return error.getMessage().utf8();
    }
}

class ValueFromText : public testing::TestWithParam<ConversionCase> {};

TEST_P(ValueFromText, readsAndPrintsAsOpenPegasus) {
    EXPECT_EQ(converted(GetParam()), GetParam().expected);
}

std::string illegal(const char* kind, const char* text, int line = 7) {
    return "Semantic error: on line " + std::to_string(line) + ": Illegal " + kind + " value \"" +
           text + "\"";
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, ValueFromText,
    testing::Values(
        ConversionCase{"true any case", CIMTYPE_BOOLEAN, false, {"tRuE"}, "TRUE"},
        ConversionCase{"false", CIMTYPE_BOOLEAN, false, {"FALSE"}, "FALSE"},
        ConversionCase{"boolean yes", CIMTYPE_BOOLEAN, false, {"yes"}, illegal("boolean", "yes")},
        ConversionCase{"uint8 max", CIMTYPE_UINT8, false, {"255"}, "255"},
        ConversionCase{"uint8 over", CIMTYPE_UINT8, false, {"256"}, illegal("integer", "256")},
        ConversionCase{"uint8 minus zero", CIMTYPE_UINT8, false, {"-0"}, illegal("integer", "-0")},
        ConversionCase{"sint8 min", CIMTYPE_SINT8, false, {"-128"}, "-128"},
        ConversionCase{"sint8 under", CIMTYPE_SINT8, false, {"-129"}, illegal("integer", "-129")},
        ConversionCase{"sint8 plus", CIMTYPE_SINT8, false, {"+12"}, "12"},
        ConversionCase{"uint16 hex in blanks", CIMTYPE_UINT16, false, {" \t0xFFff\r\n"}, "65535"},
        ConversionCase{"sint16 min", CIMTYPE_SINT16, false, {"-32768"}, "-32768"},
        ConversionCase{"uint32 max", CIMTYPE_UINT32, false, {"4294967295"}, "4294967295"},
        ConversionCase{
            "uint32 over", CIMTYPE_UINT32, false, {"4294967296"}, illegal("integer", "4294967296")},
        ConversionCase{"uint32 empty", CIMTYPE_UINT32, false, {""}, illegal("integer", "")},
        ConversionCase{
            "uint32 trailing junk", CIMTYPE_UINT32, false, {"12abc"}, illegal("integer", "12abc")},
        ConversionCase{
            "uint32 inner blank", CIMTYPE_UINT32, false, {"1 2"}, illegal("integer", "1 2")},
        ConversionCase{
            "uint32 two signs", CIMTYPE_UINT32, false, {"+-1"}, illegal("integer", "+-1")},
        ConversionCase{
            "uint32 hex prefix alone", CIMTYPE_UINT32, false, {"0x"}, illegal("integer", "0x")},
        ConversionCase{"sint32 min", CIMTYPE_SINT32, false, {"-2147483648"}, "-2147483648"},
        ConversionCase{
            "uint64 max", CIMTYPE_UINT64, false, {"18446744073709551615"}, "18446744073709551615"},
        ConversionCase{"uint64 over",
                       CIMTYPE_UINT64,
                       false,
                       {"18446744073709551616"},
                       illegal("integer", "18446744073709551616")},
        ConversionCase{
            "sint64 min", CIMTYPE_SINT64, false, {"-9223372036854775808"}, "-9223372036854775808"},
        ConversionCase{"sint64 under",
                       CIMTYPE_SINT64,
                       false,
                       {"-9223372036854775809"},
                       illegal("integer", "-9223372036854775809")},
        ConversionCase{"sint64 negative hex", CIMTYPE_SINT64, false, {"-0x10"}, "-16"},
        ConversionCase{"real32 widened", CIMTYPE_REAL32, false, {"0.1"}, "1.0000000149011612e-01"},
        ConversionCase{"real32 zero", CIMTYPE_REAL32, false, {"0"}, "0.0000000000000000e+00"},
        ConversionCase{"real64", CIMTYPE_REAL64, false, {"0.1"}, "1.0000000000000001e-01"},
        ConversionCase{
            "real64 in blanks", CIMTYPE_REAL64, false, {" -2.5e10\n "}, "-2.5000000000000000e+10"},
        ConversionCase{"real64 junk", CIMTYPE_REAL64, false, {"1.5x"}, illegal("real", "1.5x")},
        ConversionCase{"real64 empty", CIMTYPE_REAL64, false, {""}, illegal("real", "")},
        ConversionCase{"char16", CIMTYPE_CHAR16, false, {"A"}, "A"},
        ConversionCase{"char16 first of several beyond ASCII",
                       CIMTYPE_CHAR16,
                       false,
                       {"\xC3\xA9xyz"},
                       "\xC3\xA9"},
        ConversionCase{"char16 empty", CIMTYPE_CHAR16, false, {""}, std::string("\0", 1)},
        ConversionCase{"string with specials",
                       CIMTYPE_STRING,
                       false,
                       {" a\"b\\c<d>&e'f "},
                       " a\"b\\c<d>&e'f "},
        ConversionCase{"empty string", CIMTYPE_STRING, false, {""}, ""},
        ConversionCase{"timestamp",
                       CIMTYPE_DATETIME,
                       false,
                       {"20240131123045.123456+060"},
                       "20240131123045.123456+060"},
        ConversionCase{"interval",
                       CIMTYPE_DATETIME,
                       false,
                       {"00000001020304.000000:000"},
                       "00000001020304.000000:000"},
        ConversionCase{
            "datetime short", CIMTYPE_DATETIME, false, {"2024"}, illegal("datetime", "2024")},
        ConversionCase{"boolean array", CIMTYPE_BOOLEAN, true, {"true", "False"}, "TRUE FALSE "},
        ConversionCase{"boolean array bad item",
                       CIMTYPE_BOOLEAN,
                       true,
                       {"true", "1"},
                       illegal("boolean", "1", 8)},
        ConversionCase{"uint8 array is numbers", CIMTYPE_UINT8, true, {"1", "255"}, "1 255 "},
        ConversionCase{"sint8 array", CIMTYPE_SINT8, true, {"-1", "2"}, "-1 2 "},
        ConversionCase{"uint16 array", CIMTYPE_UINT16, true, {"2", "3", "4"}, "2 3 4 "},
        ConversionCase{"uint16 array bad item",
                       CIMTYPE_UINT16,
                       true,
                       {"2", "x", "-1"},
                       illegal("integer", "x", 8)},
        ConversionCase{"sint16 array", CIMTYPE_SINT16, true, {"-5"}, "-5 "},
        ConversionCase{"uint32 array", CIMTYPE_UINT32, true, {"7", "8"}, "7 8 "},
        ConversionCase{"sint32 array", CIMTYPE_SINT32, true, {"-7", "8"}, "-7 8 "},
        ConversionCase{"uint64 array", CIMTYPE_UINT64, true, {"1", "2"}, "1 2 "},
        ConversionCase{"sint64 array", CIMTYPE_SINT64, true, {"-1"}, "-1 "},
        ConversionCase{"real32 array",
                       CIMTYPE_REAL32,
                       true,
                       {"1.5", "2"},
                       "1.5000000000000000e+00 2.0000000000000000e+00 "},
        ConversionCase{"real64 array", CIMTYPE_REAL64, true, {"0.25"}, "2.5000000000000000e-01 "},
        ConversionCase{"real64 array bad item",
                       CIMTYPE_REAL64,
                       true,
                       {"0.25", "0.5", "q"},
                       illegal("real", "q", 9)},
        ConversionCase{"char16 array", CIMTYPE_CHAR16, true, {"x", "y"}, "x y "},
        ConversionCase{"string array",
                       CIMTYPE_STRING,
                       true,
                       {"one", "two words", "", "q\"t"},
                       "one two words  q\"t "},
        ConversionCase{"datetime array",
                       CIMTYPE_DATETIME,
                       true,
                       {"20240131123045.123456+060"},
                       "20240131123045.123456+060 "},
        ConversionCase{
            "datetime array bad item", CIMTYPE_DATETIME, true, {"x"}, illegal("datetime", "x")},
        ConversionCase{"empty string array", CIMTYPE_STRING, true, {}, ""},
        ConversionCase{"empty uint16 array", CIMTYPE_UINT16, true, {}, ""}),
    [](const testing::TestParamInfo<ConversionCase>& info) {
        return caseName(info.param.description);
    });

// Values no VALUE text makes: nulls and references.
struct ValueCase {
    const char* description;
    CIMValue value;
    CIMType type;
    bool isArray;
    bool isNull;
    const char* text;
};

void PrintTo(const ValueCase& c, std::ostream* out) { *out << c.description; }

class ValueText : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueText, matchesOpenPegasus) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(c.value.getType(), c.type);
    EXPECT_EQ(c.value.isArray(), c.isArray);
    EXPECT_EQ(c.value.isNull(), c.isNull);
    EXPECT_EQ(c.value.toString().utf8(), c.text);
}

CIMObjectPath fooPath(const char* host = "", const char* nameSpace = "") {
    return pathOf("CIM_Foo", {CIMKeyBinding("Name", "x\"y", CIMKeyBinding::STRING)}, host,
                  nameSpace);
}

INSTANTIATE_TEST_SUITE_P(
    NullsAndReferences, ValueText,
    testing::Values(
        ValueCase{"reference", CIMValue(fooPath()), CIMTYPE_REFERENCE, false, false,
                  "CIM_Foo.Name=\"x\\\"y\""},
        ValueCase{"reference with host and namespace", CIMValue(fooPath("myhost", "root/brocade")),
                  CIMTYPE_REFERENCE, false, false, "//myhost/root/brocade:CIM_Foo.Name=\"x\\\"y\""},
        ValueCase{"reference array",
                  CIMValue(arrayOf<CIMObjectPath>(
                      {pathOf("CIM_A", {CIMKeyBinding("K", "1", CIMKeyBinding::STRING)}),
                       pathOf("CIM_B", {CIMKeyBinding("N", "2", CIMKeyBinding::NUMERIC)})})),
                  CIMTYPE_REFERENCE, true, false, "CIM_A.K=\"1\" CIM_B.N=2 "},
        ValueCase{"default is a null boolean", CIMValue(), CIMTYPE_BOOLEAN, false, true, ""},
        ValueCase{"null string", CIMValue(CIMTYPE_STRING, false), CIMTYPE_STRING, false, true, ""},
        ValueCase{"null uint16 array", CIMValue(CIMTYPE_UINT16, true), CIMTYPE_UINT16, true, true,
                  ""}),
    [](const testing::TestParamInfo<ValueCase>& info) { return caseName(info.param.description); });

TEST(ValueGet, readsOnlyItsOwnTypeAndLeavesTargetAloneWhenNull) {
    Uint16 code = 0;
    CIMValue(Uint16(5)).get(code);
    EXPECT_EQ(code, 5);

    Uint32 wide = 0;
    try {
        CIMValue(Uint16(5)).get(wide);
        FAIL() << "get(Uint32&) of a uint16 value must throw";
    } catch (const TypeMismatchException& error) {
        EXPECT_EQ(error.getMessage().utf8(), "type mismatch");
    }

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

const char* const kFcPortKeys =
    "CIM_FCPort.creationClassName=\"CIM_FCPort\",DeviceID=\"dev \\\"1\\\" \\\\ x\","
    "enabled=true,Index=42,SystemName=\"sys1\"";

CIMObjectPath fcPort(const char* host, const char* nameSpace) {
    return pathOf("CIM_FCPort",
                  {CIMKeyBinding("SystemName", "sys1", CIMKeyBinding::STRING),
                   CIMKeyBinding("Index", "42", CIMKeyBinding::NUMERIC),
                   CIMKeyBinding("enabled", "true", CIMKeyBinding::BOOLEAN),
                   CIMKeyBinding("DeviceID", "dev \"1\" \\ x", CIMKeyBinding::STRING),
                   CIMKeyBinding("creationClassName", "CIM_FCPort", CIMKeyBinding::STRING)},
                  host, nameSpace);
}

struct PathCase {
    const char* description;
    CIMObjectPath path;
    std::string text;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << c.description; }

class PathText : public testing::TestWithParam<PathCase> {};

TEST_P(PathText, matchesOpenPegasus) {
    EXPECT_EQ(GetParam().path.toString().utf8(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, PathText,
    testing::Values(
        PathCase{"no_host_no_namespace", fcPort("", ""), kFcPortKeys},
        PathCase{"namespace_only", fcPort("", "root/brocade"),
                 std::string("root/brocade:") + kFcPortKeys},
        PathCase{"host_and_namespace", fcPort("10.0.0.1:5988", "root/brocade"),
                 std::string("//10.0.0.1:5988/root/brocade:") + kFcPortKeys},
        PathCase{"host_without_namespace", fcPort("myhost", ""),
                 std::string("//myhost/:") + kFcPortKeys},
        PathCase{"keys_sorted_ignoring_case",
                 pathOf("X_C", {CIMKeyBinding("b", "1", CIMKeyBinding::STRING),
                                CIMKeyBinding("B2", "2", CIMKeyBinding::STRING),
                                CIMKeyBinding("a", "3", CIMKeyBinding::STRING),
                                CIMKeyBinding("A1", "4", CIMKeyBinding::STRING),
                                CIMKeyBinding("_z", "5", CIMKeyBinding::STRING),
                                CIMKeyBinding("Z", "6", CIMKeyBinding::STRING)}),
                 "X_C._z=\"5\",a=\"3\",A1=\"4\",b=\"1\",B2=\"2\",Z=\"6\""},
        PathCase{
            "reference_keys_quoted_and_escaped_again",
            pathOf("CIM_Realizes",
                   {CIMKeyBinding("Dependent",
                                  CIMValue(pathOf("CIM_FCPort",
                                                  {CIMKeyBinding("DeviceID", "p1",
                                                                 CIMKeyBinding::STRING)}))),
                    CIMKeyBinding(
                        "Antecedent",
                        CIMValue(pathOf("CIM_PhysicalPackage",
                                        {CIMKeyBinding("Tag", "pkg\"1", CIMKeyBinding::STRING),
                                         CIMKeyBinding("CreationClassName", "CIM_PhysicalPackage",
                                                       CIMKeyBinding::STRING)},
                                        "", "root/brocade")))}),
            "CIM_Realizes.Antecedent=\"root/brocade:CIM_PhysicalPackage.CreationClassName="
            "\\\"CIM_PhysicalPackage\\\",Tag=\\\"pkg\\\\\\\"1\\\"\",Dependent=\"CIM_FCPort."
            "DeviceID=\\\"p1\\\"\""},
        PathCase{
            "keys_from_values",
            pathOf("X_K",
                   {CIMKeyBinding("U8", CIMValue(Uint8(7))),
                    CIMKeyBinding("S", CIMValue(Sint32(-3))), CIMKeyBinding("Bo", CIMValue(true)),
                    CIMKeyBinding("Ch", CIMValue(Char16('c'))),
                    CIMKeyBinding("Dt", CIMValue(CIMDateTime("20240131123045.123456+060")))}),
            "X_K.Bo=TRUE,Ch=\"c\",Dt=\"20240131123045.123456+060\",S=-3,U8=7"},
        PathCase{"keyless", pathOf("CIM_Singleton", {}), "CIM_Singleton"},
        PathCase{"keyless_with_namespace", pathOf("CIM_Singleton", {}, "", "root/brocade"),
                 "root/brocade:CIM_Singleton"},
        PathCase{
            "parsed_and_sorted",
            CIMObjectPath(String(
                "//h:5988/root/brocade:CIM_FCPort.SystemName=\"s\",DeviceID=\"a\\\"b\",Index=5")),
            "//h:5988/root/brocade:CIM_FCPort.DeviceID=\"a\\\"b\",Index=5,SystemName=\"s\""},
        PathCase{"parsed_class_only", CIMObjectPath(String("root/brocade:CIM_Singleton")),
                 "root/brocade:CIM_Singleton"}),
    [](const testing::TestParamInfo<PathCase>& info) {
        return std::string(info.param.description);
    });

TEST(KeyBindings, keepRawValuesAndTheirKinds) {
    CIMObjectPath parsed(
        String("//h:5988/root/brocade:CIM_FCPort.SystemName=\"s\",DeviceID=\"a\\\"b\",Index=5,"
               "Ref=\"CIM_X.K=\\\"v\\\"\",On=TRUE"));
    const Array<CIMKeyBinding>& keys = parsed.getKeyBindings();
    ASSERT_EQ(keys.size(), 5u);
    struct Expected {
        const char* name;
        const char* value;
        CIMKeyBinding::Type type;
    } expected[] = {{"DeviceID", "a\"b", CIMKeyBinding::STRING},
                    {"Index", "5", CIMKeyBinding::NUMERIC},
                    {"On", "TRUE", CIMKeyBinding::BOOLEAN},
                    {"Ref", "CIM_X.K=\"v\"", CIMKeyBinding::REFERENCE},
                    {"SystemName", "s", CIMKeyBinding::STRING}};
    for (Uint32 i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].getName().getString().utf8(), expected[i].name);
        EXPECT_EQ(keys[i].getValue().utf8(), expected[i].value);
        EXPECT_EQ(keys[i].getType(), expected[i].type);
    }
    EXPECT_EQ(parsed.getHost().utf8(), "h:5988");
    EXPECT_EQ(parsed.getNameSpace().getString().utf8(), "root/brocade");
}

TEST(PathParsing, rejectsMalformedNamesWithOpenPegasusText) {
    struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"CIM_Singleton=@",
         "malformed object name: CIM_Singleton=@, reason:\"class name CIM_Singleton=@ not a "
         "legal CIM name\""},
        {"CIM_X.K=\"unterminated",
         "malformed object name: CIM_X.K=\"unterminated, reason:\"invalid key-value pair, "
         "missing quote in key value\""},
    };
    for (const auto& c : cases) {
        try {
            CIMObjectPath path{String(c.text)};
            ADD_FAILURE() << c.text << " parsed as " << path.toString();
        } catch (const MalformedObjectNameException& error) {
            EXPECT_EQ(error.getMessage().utf8(), c.message);
        }
    }
}

TEST(ParamValue, referenceParameterIsTypedByDefault) {
    CIMParamValue parameter(
        "ManagedElement",
        CIMValue(pathOf("CIM_FCPort", {CIMKeyBinding("DeviceID", "p1", CIMKeyBinding::STRING)})));
    EXPECT_TRUE(parameter.isTyped());
    EXPECT_EQ(parameter.getValue().toString().utf8(), "CIM_FCPort.DeviceID=\"p1\"");
}

}  // namespace

// Values from the texts of VALUE elements, and the text forms of values and
// paths, as OpenPegasus reads and prints them (captures/api-values.txt).
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "value_text.h"

using namespace Pegasus;

namespace {

// Each row is read as a scalar from its first text and as an array of all
// its texts, item i standing on line 7 + i so that an error names its item.
struct ConversionCase {
    const char* name;
    CIMType type;
    std::vector<const char*> texts;
    std::string scalar;      // the value's text form, or the error's
    std::string array = "";  // the same for the array; empty: as the scalar
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.name; }

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

class ValueFromText : public testing::TestWithParam<ConversionCase> {};

TEST_P(ValueFromText, readsAndPrintsAsOpenPegasus) {
    const ConversionCase& c = GetParam();
    if (!c.texts.empty()) {
        EXPECT_EQ(
            converted(c.type, false, [&] { return cimxml::valueFromText(c.type, c.texts[0], 7); }),
            c.scalar);
    }
    EXPECT_EQ(converted(c.type, true,
                        [&] {
                            return cimxml::arrayFromTexts(c.type, [&](auto&& take) {
                                for (size_t i = 0; i < c.texts.size(); ++i) take(c.texts[i], 7 + i);
                            });
                        }),
              c.array.empty() ? c.scalar : c.array);
}

std::string illegal(const char* kind, const char* text, int line = 7) {
    return "Semantic error: on line " + std::to_string(line) + ": Illegal " + kind + " value \"" +
           text + "\"";
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, ValueFromText,
    testing::ValuesIn(std::vector<ConversionCase>{
        {"boolean_any_case", CIMTYPE_BOOLEAN, {"tRuE", "False"}, "TRUE", "TRUE FALSE "},
        {"boolean_yes", CIMTYPE_BOOLEAN, {"yes"}, illegal("boolean", "yes")},
        {"boolean_bad_second", CIMTYPE_BOOLEAN, {"true", "1"}, "TRUE", illegal("boolean", "1", 8)},
        {"uint8_is_numbers", CIMTYPE_UINT8, {"255", "1"}, "255", "255 1 "},
        {"uint8_over", CIMTYPE_UINT8, {"256"}, illegal("integer", "256")},
        {"uint8_minus_zero", CIMTYPE_UINT8, {"-0"}, illegal("integer", "-0")},
        {"sint8", CIMTYPE_SINT8, {"-128", "+12"}, "-128", "-128 12 "},
        {"sint8_under", CIMTYPE_SINT8, {"-129"}, illegal("integer", "-129")},
        {"uint16_hex_in_blanks", CIMTYPE_UINT16, {" \t0xFFff\r\n", "2"}, "65535", "65535 2 "},
        {"uint16_bad_second", CIMTYPE_UINT16, {"2", "x", "-1"}, "2", illegal("integer", "x", 8)},
        {"sint16", CIMTYPE_SINT16, {"-32768"}, "-32768", "-32768 "},
        {"uint32", CIMTYPE_UINT32, {"4294967295", "0"}, "4294967295", "4294967295 0 "},
        {"uint32_over", CIMTYPE_UINT32, {"4294967296"}, illegal("integer", "4294967296")},
        {"uint32_empty", CIMTYPE_UINT32, {""}, illegal("integer", "")},
        {"uint32_junk", CIMTYPE_UINT32, {"12abc"}, illegal("integer", "12abc")},
        {"uint32_inner_blank", CIMTYPE_UINT32, {"1 2"}, illegal("integer", "1 2")},
        {"uint32_two_signs", CIMTYPE_UINT32, {"+-1"}, illegal("integer", "+-1")},
        {"uint32_hex_prefix_alone", CIMTYPE_UINT32, {"0x"}, illegal("integer", "0x")},
        {"sint32", CIMTYPE_SINT32, {"-2147483648"}, "-2147483648", "-2147483648 "},
        {"uint64",
         CIMTYPE_UINT64,
         {"18446744073709551615"},
         "18446744073709551615",
         "18446744073709551615 "},
        {"uint64_over",
         CIMTYPE_UINT64,
         {"18446744073709551616"},
         illegal("integer", "18446744073709551616")},
        {"sint64",
         CIMTYPE_SINT64,
         {"-9223372036854775808", "-0x10"},
         "-9223372036854775808",
         "-9223372036854775808 -16 "},
        {"sint64_under",
         CIMTYPE_SINT64,
         {"-9223372036854775809"},
         illegal("integer", "-9223372036854775809")},
        {"real32_widened",
         CIMTYPE_REAL32,
         {"0.1", "2"},
         "1.0000000149011612e-01",
         "1.0000000149011612e-01 2.0000000000000000e+00 "},
        {"real64_in_blanks",
         CIMTYPE_REAL64,
         {" -2.5e10\n ", "0.1"},
         "-2.5000000000000000e+10",
         "-2.5000000000000000e+10 1.0000000000000001e-01 "},
        {"real64_junk", CIMTYPE_REAL64, {"1.5x"}, illegal("real", "1.5x")},
        {"real64_empty", CIMTYPE_REAL64, {""}, illegal("real", "")},
        {"real64_bad_third",
         CIMTYPE_REAL64,
         {"0.25", "0.5", "q"},
         "2.5000000000000000e-01",
         illegal("real", "q", 9)},
        {"char16_first_of_several",
         CIMTYPE_CHAR16,
         {"\xC3\xA9xyz", "y"},
         "\xC3\xA9",
         "\xC3\xA9 y "},
        {"char16_empty", CIMTYPE_CHAR16, {""}, std::string("\0", 1), std::string("\0 ", 2)},
        {"string_as_sent",
         CIMTYPE_STRING,
         {" a\"b\\c<d>&e'f ", "", "two words"},
         " a\"b\\c<d>&e'f ",
         " a\"b\\c<d>&e'f   two words "},
        {"datetime",
         CIMTYPE_DATETIME,
         {"20240131123045.123456+060", "00000001020304.000000:000"},
         "20240131123045.123456+060",
         "20240131123045.123456+060 00000001020304.000000:000 "},
        {"datetime_short", CIMTYPE_DATETIME, {"2024"}, illegal("datetime", "2024")},
        {"empty_array", CIMTYPE_UINT16, {}, ""},
    }),
    [](const testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

CIMObjectPath pathOf(const char* className, std::initializer_list<CIMKeyBinding> keys,
                     const char* host = "", const char* nameSpace = "") {
    Array<CIMKeyBinding> bindings;
    for (const CIMKeyBinding& key : keys) bindings.append(key);
    return CIMObjectPath(host, nameSpace[0] ? CIMNamespaceName(nameSpace) : CIMNamespaceName(),
                         CIMName(className), bindings);
}

// Values and paths no VALUE text makes: references, nulls, keys made from
// values, paths parsed from their text.
TEST(ValueText, ofReferencesNullsAndPaths) {
    Array<CIMObjectPath> paths;
    paths.append(pathOf("CIM_A", {CIMKeyBinding("K", "1", CIMKeyBinding::STRING)}));
    paths.append(pathOf("CIM_B", {CIMKeyBinding("N", "2", CIMKeyBinding::NUMERIC)}, "h", "root/x"));
    const struct {
        CIMValue value;
        bool isNull;
        const char* text;
    } cases[] = {
        {CIMValue(paths), false, "CIM_A.K=\"1\" //h/root/x:CIM_B.N=2 "},
        {CIMValue(pathOf("CIM_C", {CIMKeyBinding("D", "x\"y", CIMKeyBinding::STRING)}, "h")), false,
         "//h/:CIM_C.D=\"x\\\"y\""},
        {CIMValue(pathOf(
             "X_K",
             {CIMKeyBinding("U8", CIMValue(Uint8(7))), CIMKeyBinding("S", CIMValue(Sint32(-3))),
              CIMKeyBinding("Bo", CIMValue(true)), CIMKeyBinding("Ch", CIMValue(Char16('c'))),
              CIMKeyBinding("Dt", CIMValue(CIMDateTime("20240131123045.123456+060"))),
              CIMKeyBinding("R", CIMValue(paths[0]))})),
         false,
         "X_K.Bo=TRUE,Ch=\"c\",Dt=\"20240131123045.123456+060\",R=\"CIM_A.K=\\\"1\\\"\",S=-3,U8=7"},
        {CIMValue(CIMObjectPath(String(
             "//h:5988/root/brocade:CIM_FCPort.SystemName=\"s\",DeviceID=\"a\\\"b\",Index=5"))),
         false, "//h:5988/root/brocade:CIM_FCPort.DeviceID=\"a\\\"b\",Index=5,SystemName=\"s\""},
        {CIMValue(CIMObjectPath(String("root/brocade:CIM_Singleton"))), false,
         "root/brocade:CIM_Singleton"},
        {CIMValue(), true, ""},
        {CIMValue(CIMTYPE_STRING, false), true, ""},
        {CIMValue(CIMTYPE_UINT16, true), true, ""},
        {CIMValue(CIMTYPE_REAL32, true), true, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.isNull(), c.isNull) << c.text;
        EXPECT_EQ(c.value.toString().utf8(), c.text);
    }
}

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

TEST(KeyBindings, keepRawValuesAndTheirKinds) {
    CIMObjectPath parsed(
        String("//h:5988/root/"
               "brocade:CIM_FCPort.SystemName=\"s\",DeviceID=\"a\\\"b\",Index=5,"
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
         "malformed object name: CIM_Singleton=@, "
         "reason:\"class name CIM_Singleton=@ not a "
         "legal CIM name\""},
        {"CIM_X.K=\"unterminated",
         "malformed object name: CIM_X.K=\"unterminated, reason:\"invalid "
         "key-value pair, "
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

}  // namespace

// Text forms of values, keys and paths, as OpenPegasus prints them
// (captures/api-values.txt).
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <limits>

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

CIMObjectPath fooPath(const char* host = "", const char* nameSpace = "") {
    return pathOf("CIM_Foo", {CIMKeyBinding("Name", "x\"y", CIMKeyBinding::STRING)}, host,
                  nameSpace);
}

struct ValueCase {
    const char* description;
    CIMValue value;
    CIMType type;
    bool isArray;
    bool isNull;
    const char* text;
};

// ctest shows the case by its name rather than as a dump of its bytes.
void PrintTo(const ValueCase& c, std::ostream* out) { *out << c.description; }

class ValueText : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueText, matchesOpenPegasus) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(c.value.getType(), c.type);
    EXPECT_EQ(c.value.isArray(), c.isArray);
    EXPECT_EQ(c.value.isNull(), c.isNull);
    EXPECT_EQ(c.value.toString().utf8(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, ValueText,
    testing::Values(
        ValueCase{"true", CIMValue(true), CIMTYPE_BOOLEAN, false, false, "TRUE"},
        ValueCase{"false", CIMValue(false), CIMTYPE_BOOLEAN, false, false, "FALSE"},
        ValueCase{"uint8", CIMValue(Uint8(255)), CIMTYPE_UINT8, false, false, "255"},
        ValueCase{"sint8", CIMValue(Sint8(-128)), CIMTYPE_SINT8, false, false, "-128"},
        ValueCase{"uint16", CIMValue(Uint16(65535)), CIMTYPE_UINT16, false, false, "65535"},
        ValueCase{"sint16", CIMValue(Sint16(-32768)), CIMTYPE_SINT16, false, false, "-32768"},
        ValueCase{"uint32", CIMValue(Uint32(4294967295u)), CIMTYPE_UINT32, false, false,
                  "4294967295"},
        ValueCase{"sint32", CIMValue(std::numeric_limits<Sint32>::min()), CIMTYPE_SINT32, false,
                  false, "-2147483648"},
        ValueCase{"uint64", CIMValue(std::numeric_limits<Uint64>::max()), CIMTYPE_UINT64, false,
                  false, "18446744073709551615"},
        ValueCase{"sint64", CIMValue(std::numeric_limits<Sint64>::min()), CIMTYPE_SINT64, false,
                  false, "-9223372036854775808"},
        ValueCase{"uint32 zero", CIMValue(Uint32(0)), CIMTYPE_UINT32, false, false, "0"},
        ValueCase{"real32", CIMValue(Real32(1.5)), CIMTYPE_REAL32, false, false,
                  "1.5000000000000000e+00"},
        ValueCase{"real32 widened", CIMValue(Real32(0.1f)), CIMTYPE_REAL32, false, false,
                  "1.0000000149011612e-01"},
        ValueCase{"real32 zero", CIMValue(Real32(0)), CIMTYPE_REAL32, false, false,
                  "0.0000000000000000e+00"},
        ValueCase{"real64", CIMValue(Real64(0.1)), CIMTYPE_REAL64, false, false,
                  "1.0000000000000001e-01"},
        ValueCase{"real64 negative", CIMValue(Real64(-2.5e10)), CIMTYPE_REAL64, false, false,
                  "-2.5000000000000000e+10"},
        ValueCase{"real64 hundred", CIMValue(Real64(100)), CIMTYPE_REAL64, false, false,
                  "1.0000000000000000e+02"},
        ValueCase{"char16", CIMValue(Char16('A')), CIMTYPE_CHAR16, false, false, "A"},
        ValueCase{"char16 beyond ASCII", CIMValue(Char16(0xE9)), CIMTYPE_CHAR16, false, false,
                  "\xC3\xA9"},
        ValueCase{"string", CIMValue(String("hello world")), CIMTYPE_STRING, false, false,
                  "hello world"},
        ValueCase{"string with specials", CIMValue(String("a\"b\\c<d>&e'f")), CIMTYPE_STRING, false,
                  false, "a\"b\\c<d>&e'f"},
        ValueCase{"empty string", CIMValue(String("")), CIMTYPE_STRING, false, false, ""},
        ValueCase{"timestamp", CIMValue(CIMDateTime("20240131123045.123456+060")), CIMTYPE_DATETIME,
                  false, false, "20240131123045.123456+060"},
        ValueCase{"interval", CIMValue(CIMDateTime("00000001020304.000000:000")), CIMTYPE_DATETIME,
                  false, false, "00000001020304.000000:000"},
        ValueCase{"reference", CIMValue(fooPath()), CIMTYPE_REFERENCE, false, false,
                  "CIM_Foo.Name=\"x\\\"y\""},
        ValueCase{"reference with host and namespace", CIMValue(fooPath("myhost", "root/brocade")),
                  CIMTYPE_REFERENCE, false, false, "//myhost/root/brocade:CIM_Foo.Name=\"x\\\"y\""},
        ValueCase{"default is a null boolean", CIMValue(), CIMTYPE_BOOLEAN, false, true, ""},
        ValueCase{"null string", CIMValue(CIMTYPE_STRING, false), CIMTYPE_STRING, false, true, ""},
        ValueCase{"null uint16 array", CIMValue(CIMTYPE_UINT16, true), CIMTYPE_UINT16, true, true,
                  ""},
        ValueCase{"boolean array", CIMValue(arrayOf<Boolean>({true, false})), CIMTYPE_BOOLEAN, true,
                  false, "TRUE FALSE "},
        ValueCase{"uint8 array is numbers", CIMValue(arrayOf<Uint8>({1, 255})), CIMTYPE_UINT8, true,
                  false, "1 255 "},
        ValueCase{"sint8 array", CIMValue(arrayOf<Sint8>({-1, 2})), CIMTYPE_SINT8, true, false,
                  "-1 2 "},
        ValueCase{"uint16 array", CIMValue(arrayOf<Uint16>({2, 3, 4})), CIMTYPE_UINT16, true, false,
                  "2 3 4 "},
        ValueCase{"sint16 array", CIMValue(arrayOf<Sint16>({-5})), CIMTYPE_SINT16, true, false,
                  "-5 "},
        ValueCase{"uint32 array", CIMValue(arrayOf<Uint32>({7, 8})), CIMTYPE_UINT32, true, false,
                  "7 8 "},
        ValueCase{"sint32 array", CIMValue(arrayOf<Sint32>({-7, 8})), CIMTYPE_SINT32, true, false,
                  "-7 8 "},
        ValueCase{"uint64 array", CIMValue(arrayOf<Uint64>({1, 2})), CIMTYPE_UINT64, true, false,
                  "1 2 "},
        ValueCase{"sint64 array", CIMValue(arrayOf<Sint64>({-1})), CIMTYPE_SINT64, true, false,
                  "-1 "},
        ValueCase{"real32 array", CIMValue(arrayOf<Real32>({1.5f, 2.0f})), CIMTYPE_REAL32, true,
                  false, "1.5000000000000000e+00 2.0000000000000000e+00 "},
        ValueCase{"real64 array", CIMValue(arrayOf<Real64>({0.25})), CIMTYPE_REAL64, true, false,
                  "2.5000000000000000e-01 "},
        ValueCase{"char16 array", CIMValue(arrayOf<Char16>({Char16('x'), Char16('y')})),
                  CIMTYPE_CHAR16, true, false, "x y "},
        ValueCase{"string array", CIMValue(arrayOf<String>({"one", "two words", "", "q\"t"})),
                  CIMTYPE_STRING, true, false, "one two words  q\"t "},
        ValueCase{"datetime array",
                  CIMValue(arrayOf<CIMDateTime>({CIMDateTime("20240131123045.123456+060")})),
                  CIMTYPE_DATETIME, true, false, "20240131123045.123456+060 "},
        ValueCase{"reference array",
                  CIMValue(arrayOf<CIMObjectPath>(
                      {pathOf("CIM_A", {CIMKeyBinding("K", "1", CIMKeyBinding::STRING)}),
                       pathOf("CIM_B", {CIMKeyBinding("N", "2", CIMKeyBinding::NUMERIC)})})),
                  CIMTYPE_REFERENCE, true, false, "CIM_A.K=\"1\" CIM_B.N=2 "},
        ValueCase{"empty string array", CIMValue(Array<String>()), CIMTYPE_STRING, true, false, ""},
        ValueCase{"empty uint16 array", CIMValue(Array<Uint16>()), CIMTYPE_UINT16, true, false,
                  ""}),
    [](const testing::TestParamInfo<ValueCase>& info) {
        std::string name = info.param.description;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

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

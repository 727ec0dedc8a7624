// Decoding speed of a large EnumerateInstances response, without a network:
// the generated 10,000-instance response (large_enumeration.h), fed to the
// decoder whole (argument 0) and in 256 KiB pieces as the transport delivers it.
// Then the shapes a hostile server may send, each at sizes that double, so that
// the report shows whether the cost doubles with them (and Google Benchmark's
// fit of the complexity).
#include <Pegasus/Common/Exception.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cimxml/response_decoder.h"
#include "large_enumeration.h"

namespace {

void decodeTenThousandInstances(benchmark::State& state) {
    static const std::string response = large_enumeration::response(10000);
    const size_t piece = state.range(0) > 0 ? static_cast<size_t>(state.range(0)) : response.size();
    for (auto _ : state) {
        Pegasus::cimxml::ResponseDecoder decoder(
            Pegasus::cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000);
        for (size_t offset = 0; offset < response.size(); offset += piece) {
            decoder.feed(response.data() + offset, std::min(piece, response.size() - offset));
        }
        Pegasus::Array<Pegasus::CIMInstance> instances = decoder.finishEnumerateInstances();
        benchmark::DoNotOptimize(instances);
        // Freeing the instances is the caller's cost, not the decoder's.
        state.PauseTiming();
        instances = Pegasus::Array<Pegasus::CIMInstance>();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response.size()));
}
BENCHMARK(decodeTenThousandInstances)->Arg(0)->Arg(256 * 1024)->Unit(benchmark::kMillisecond);

enum class Shape {
    // One instance whose name holds N reference keys and whose body holds N reference properties
    // repeating them, all alike up to their last bytes.
    References,
    // Two instances, each named by N reference keys, those of the second alike to the first's up
    // to their last bytes.
    RepeatedReferenceKeys,
    Keys,                 // one instance named by N keys
    Properties,           // one instance of N properties
    ReferenceProperties,  // one instance of N reference properties, none repeating a key
    Qualifiers,           // one property with N qualifiers
    // N levels of reference keys, each the path of the one inside it: each level quotes the text
    // of the one inside, so the key texts would double with every level.
    NestedReferences,
};

std::string numbered(const char* prefix, int64_t index) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08lld", static_cast<long long>(index));
    return prefix + std::string(digits);
}

std::string reference(int64_t index) {
    return "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"CIM_Part\"><KEYBINDING NAME=\"Tag\">"
           "<KEYVALUE VALUETYPE=\"string\">" +
           numbered("a part of the estate named alike to all the others but for its last bytes ",
                    index) +
           "</KEYVALUE></KEYBINDING></INSTANCENAME></VALUE.REFERENCE>";
}

std::string referenceKeys(int64_t count, int64_t variant) {
    std::string keys;
    for (int64_t i = 0; i < count; ++i) {
        keys += "<KEYBINDING NAME=\"" + numbered("Reference", i) + "\">" +
                reference(i * 2 + variant) + "</KEYBINDING>\n";
    }
    return keys;
}

std::string namedInstance(const std::string& keys, const std::string& members) {
    return "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"CIM_Thing\">\n" + keys +
           "</INSTANCENAME>\n<INSTANCE CLASSNAME=\"CIM_Thing\">\n" + members +
           "</INSTANCE></VALUE.NAMEDINSTANCE>\n";
}

std::string shapedBody(Shape shape, int64_t size) {
    const std::string oneKey =
        "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">x</KEYVALUE></KEYBINDING>";
    std::string members;
    std::string returned;
    switch (shape) {
        case Shape::References:
            for (int64_t i = 0; i < size; ++i) {
                members += "<PROPERTY.REFERENCE NAME=\"" + numbered("Reference", i) +
                           "\" REFERENCECLASS=\"CIM_Part\">" + reference(i * 2) +
                           "</PROPERTY.REFERENCE>\n";
            }
            returned = namedInstance(referenceKeys(size, 0), members);
            break;
        case Shape::RepeatedReferenceKeys:
            returned = namedInstance(referenceKeys(size, 0), "") +
                       namedInstance(referenceKeys(size, 1), "");
            break;
        case Shape::Keys: {
            std::string keys;
            for (int64_t i = 0; i < size; ++i) {
                keys += "<KEYBINDING NAME=\"" + numbered("Key", i) +
                        "\"><KEYVALUE VALUETYPE=\"string\">" + numbered("value ", i) +
                        "</KEYVALUE></KEYBINDING>\n";
            }
            returned = namedInstance(keys, "");
            break;
        }
        case Shape::Properties:
            for (int64_t i = 0; i < size; ++i) {
                members += "<PROPERTY NAME=\"" + numbered("Property", i) +
                           "\" TYPE=\"string\"><VALUE>" + numbered("value ", i) +
                           "</VALUE></PROPERTY>\n";
            }
            returned = namedInstance(oneKey, members);
            break;
        case Shape::ReferenceProperties:
            for (int64_t i = 0; i < size; ++i) {
                members += "<PROPERTY.REFERENCE NAME=\"" + numbered("Reference", i) + "\">" +
                           reference(i) + "</PROPERTY.REFERENCE>\n";
            }
            returned = namedInstance(oneKey, members);
            break;
        case Shape::Qualifiers:
            members = "<PROPERTY NAME=\"Qualified\" TYPE=\"string\">\n";
            for (int64_t i = 0; i < size; ++i) {
                members += "<QUALIFIER NAME=\"" + numbered("Qualifier", i) +
                           "\" TYPE=\"string\"><VALUE>" + numbered("value ", i) +
                           "</VALUE></QUALIFIER>\n";
            }
            members += "</PROPERTY>\n";
            returned = namedInstance(oneKey, members);
            break;
        case Shape::NestedReferences: {
            std::string path = "<INSTANCENAME CLASSNAME=\"CIM_Part\">" + oneKey + "</INSTANCENAME>";
            for (int64_t level = 1; level < size; ++level) {
                path =
                    "<INSTANCENAME CLASSNAME=\"CIM_Part\"><KEYBINDING "
                    "NAME=\"Inner\"><VALUE.REFERENCE>" +
                    path + "</VALUE.REFERENCE></KEYBINDING></INSTANCENAME>";
            }
            returned = namedInstance("<KEYBINDING NAME=\"Outer\"><VALUE.REFERENCE>" + path +
                                         "</VALUE.REFERENCE></KEYBINDING>",
                                     "");
            break;
        }
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
           "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
           "<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n" +
           returned + "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
}

// The label says how the decoding ended: the instances decoded, or the failure.
void decodeShape(benchmark::State& state, Shape shape) {
    const std::string body = shapedBody(shape, state.range(0));
    const size_t piece = 256 * 1024;
    std::string outcome;
    for (auto _ : state) {
        Pegasus::cimxml::ResponseDecoder decoder(
            Pegasus::cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000);
        for (size_t offset = 0; offset < body.size(); offset += piece) {
            decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
        }
        try {
            Pegasus::Array<Pegasus::CIMInstance> instances = decoder.finishEnumerateInstances();
            outcome = std::to_string(instances.size()) + " instances";
        } catch (const Pegasus::Exception& failure) {
            outcome = failure.getMessage().utf8();
        }
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
    state.SetLabel(std::to_string(body.size() >> 10) + " KiB, " + outcome);
}
#define HOSTILE_SHAPE(shape, size)                      \
    BENCHMARK_CAPTURE(decodeShape, shape, Shape::shape) \
        ->Arg(size)                                     \
        ->Arg(size * 2)                                 \
        ->Arg(size * 4)                                 \
        ->Arg(size * 8)                                 \
        ->Complexity(benchmark::oN)                     \
        ->Unit(benchmark::kMillisecond)
HOSTILE_SHAPE(References, 6000);
HOSTILE_SHAPE(RepeatedReferenceKeys, 6000);
HOSTILE_SHAPE(Keys, 6000);
HOSTILE_SHAPE(Properties, 6000);
HOSTILE_SHAPE(ReferenceProperties, 6000);
HOSTILE_SHAPE(Qualifiers, 6000);
HOSTILE_SHAPE(NestedReferences, 10);

}  // namespace

BENCHMARK_MAIN();

// Where an association walk's time goes, without a network: decoding one enumeration of
// CIM_ControlledBy shaped as the real server's (256 instances, as the 64-adapter estate has),
// the XML parse alone under it, and the module's walk over the decoded instances for one
// controller (the matching of every instance's reference against the parent, without fetching
// the children).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "association_response.h"
#include "association_walk.h"
#include "cimxml/response_decoder.h"
#include "log.h"
#include "xml/xml_parser.h"

namespace {

constexpr int kControllers = 128;
constexpr int kPorts = 2;

const std::string& response() {
    static const std::string body = association_response::controlledBy(kControllers, kPorts);
    return body;
}

Pegasus::Array<Pegasus::CIMInstance> decoded() {
    return Pegasus::cimxml::decodeEnumerateInstances(response(), 1000);
}

void decodeAssociations(benchmark::State& state) {
    for (auto _ : state) {
        Pegasus::Array<Pegasus::CIMInstance> instances = decoded();
        benchmark::DoNotOptimize(instances);
        // Freeing the instances is the walk's cost, not the decoder's.
        state.PauseTiming();
        instances = Pegasus::Array<Pegasus::CIMInstance>();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kControllers * kPorts);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response().size()));
}
BENCHMARK(decodeAssociations)->Unit(benchmark::kMicrosecond);

// The floor under decoding: the same body through the XML parser (libxml2 and our thin layer
// over it), with handlers that keep nothing.
void parseAssociations(benchmark::State& state) {
    struct Nothing : Pegasus::xml::XmlHandler {
        void startElement(std::string_view, const Pegasus::xml::XmlAttribute*, size_t) override {}
        void endElement(std::string_view) override {}
        void characters(std::string_view) override {}
    };
    const std::string& body = response();
    for (auto _ : state) {
        Nothing nothing;
        Pegasus::xml::XmlParser parser(nothing);
        const size_t piece = 64 * 1024;
        for (size_t at = 0; at < body.size(); at += piece) {
            parser.feed(body.data() + at, std::min(piece, body.size() - at));
        }
        parser.finish();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(parseAssociations)->Unit(benchmark::kMicrosecond);

void walkAssociations(benchmark::State& state) {
    Vornet::Log::SetMinLogLevel(1);
    const Pegasus::Array<Pegasus::CIMInstance> instances = decoded();
    const Vornet::Brocade::AssociationWalk walk{"CIM_ControlledBy", "Antecedent", "Dependent",
                                                nullptr, "unused"};
    const std::string parent = association_response::controllerPathText(kControllers / 2);
    int children = 0;
    for (auto _ : state) {
        children = 0;
        for (Pegasus::Uint32 index = 0; index < instances.size(); ++index) {
            Pegasus::CIMObjectPath child;
            if (Vornet::Brocade::LinkOf(instances[index], parent, walk, child) ==
                Vornet::Brocade::AssociationLink::Child) {
                ++children;
            }
            benchmark::DoNotOptimize(child);
        }
    }
    if (children != kPorts) state.SkipWithError("the walk found the wrong children");
    state.SetItemsProcessed(state.iterations() * instances.size());
}
BENCHMARK(walkAssociations)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Decoding speed of a large EnumerateInstances response, without a network:
// the generated 10,000-instance response (large_enumeration.h), decoded from
// one buffer and from 256 KiB pieces as the transport delivers it.
#include <benchmark/benchmark.h>

#include <string>

#include "large_enumeration.h"
#include "response_decoder.h"

namespace {

const std::string& tenThousandInstances() {
    static const std::string response = large_enumeration::response(10000);
    return response;
}

void decodeTenThousandInstances(benchmark::State& state) {
    const std::string& response = tenThousandInstances();
    for (auto _ : state) {
        state.PauseTiming();
        // A copy per round: a decoder may parse its body in place.
        std::string body = response;
        state.ResumeTiming();
        Pegasus::Array<Pegasus::CIMInstance> instances =
            Pegasus::cimxml::decodeEnumerateInstances(body, 1000);
        benchmark::DoNotOptimize(instances);
        state.PauseTiming();
        instances = Pegasus::Array<Pegasus::CIMInstance>();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response.size()));
}
BENCHMARK(decodeTenThousandInstances)->Unit(benchmark::kMillisecond);

void decodeTenThousandInstancesInPieces(benchmark::State& state) {
    const std::string& response = tenThousandInstances();
    const size_t piece = 256 * 1024;
    for (auto _ : state) {
        Pegasus::cimxml::ResponseDecoder decoder(
            Pegasus::cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000);
        for (size_t offset = 0; offset < response.size(); offset += piece) {
            decoder.feed(response.data() + offset, std::min(piece, response.size() - offset));
        }
        Pegasus::Array<Pegasus::CIMInstance> instances = decoder.finishEnumerateInstances();
        benchmark::DoNotOptimize(instances);
        state.PauseTiming();
        instances = Pegasus::Array<Pegasus::CIMInstance>();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response.size()));
}
BENCHMARK(decodeTenThousandInstancesInPieces)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();

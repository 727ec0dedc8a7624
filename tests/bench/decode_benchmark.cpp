// Decoding speed of a large EnumerateInstances response, without a network:
// the generated 10,000-instance response (large_enumeration.h), fed to the
// decoder whole (argument 0) and in 256 KiB pieces as the transport delivers it.
#include <benchmark/benchmark.h>

#include <algorithm>
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

}  // namespace

BENCHMARK_MAIN();

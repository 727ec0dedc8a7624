// Decoding speed of a large EnumerateInstances response: 10,000 instances
// shaped like the real server's CIM_FCPort subclass instance (every property
// of the class sent, most of them empty).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "response_decoder.h"

namespace {

std::string capturedBody() {
    std::ifstream file(PEGASUS_CAPTURES_DIR "/cimserver/enum-fcport-deep-conn1.s2c",
                       std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::string stream = bytes.str();
    // One chunk carries the whole body after the header block.
    size_t chunkStart = stream.find("\r\n\r\n") + 4;
    size_t bodyStart = stream.find("\r\n", chunkStart) + 2;
    size_t bodyEnd = stream.rfind("</CIM>") + 6;
    return stream.substr(bodyStart, bodyEnd - bodyStart);
}

std::string responseWith(int instances) {
    std::string body = capturedBody();
    size_t first = body.find("<VALUE.NAMEDINSTANCE>");
    size_t last = body.rfind("</VALUE.NAMEDINSTANCE>") + 22;
    size_t second = body.find("<VALUE.NAMEDINSTANCE>", first + 1);
    std::string instance = body.substr(second, last - second);
    std::string out = body.substr(0, first);
    for (int i = 0; i < instances; ++i) {
        std::string copy = instance;
        for (size_t at = copy.find("port-2"); at != std::string::npos;
             at = copy.find("port-2", at + 1)) {
            copy.replace(at, 6, "port-" + std::to_string(i));
        }
        out += copy;
        out += '\n';
    }
    out += body.substr(last);
    return out;
}

void decodeTenThousandInstances(benchmark::State& state) {
    const std::string response = responseWith(10000);
    for (auto _ : state) {
        std::string body = response;
        Pegasus::Array<Pegasus::CIMInstance> instances =
            Pegasus::cimxml::decodeEnumerateInstances(body, 1000);
        benchmark::DoNotOptimize(instances);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response.size()));
}
BENCHMARK(decodeTenThousandInstances)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

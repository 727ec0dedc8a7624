// The yardstick the client is held to: the body parsed into a pugixml tree
// and every VALUE's text read, the cheapest way to get at every value with a
// plain tree parser. Prints the same figures as pegasus_enumerate, so that
// compare_enumeration.sh can put both side by side in one run.
//   pegasus_tree_parse_baseline FILE
#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "process_usage.h"

namespace {

size_t valueBytes(const pugi::xml_node& node) {
    size_t bytes = 0;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        bytes += std::strcmp(child.name(), "VALUE") == 0 ? std::strlen(child.child_value())
                                                         : valueBytes(child);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    // The body as a client holds it once received.
    std::ifstream file(argv[1], std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (body.empty()) {
        std::perror(argv[1]);
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuSeconds();
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(body.data(), body.size());
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\n", argv[1], parsed.description());
        return 1;
    }
    size_t bytes = valueBytes(document);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tree parse: %zu bytes of VALUE text, %.2f s wall, %.2f s CPU, %.0f MiB peak\n",
                bytes, wall, CpuSeconds() - cpuStart, PeakResidentMebibytes());
    return 0;
}

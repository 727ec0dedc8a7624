// Writes the large EnumerateInstances response (large_enumeration.h) to a
// file, for cimsim to serve as a pre-rendered answer.
//   pegasus_generate_enumeration FILE [INSTANCES]   (default 10,000)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "large_enumeration.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FILE [INSTANCES]\n", argv[0]);
        return 2;
    }
    int instances = argc == 3 ? std::atoi(argv[2]) : 10000;
    std::string body = large_enumeration::response(instances);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr || std::fwrite(body.data(), 1, body.size(), file) != body.size() ||
        std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%d instances, %zu bytes\n", instances, body.size());
    return 0;
}

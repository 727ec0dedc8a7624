// Enumerates one class with our client and prints how many instances came
// back: the client side of compare_enumeration.sh.
#include <Pegasus/Client/CIMClient.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s HOST PORT NAMESPACE CLASS\n", argv[0]);
        return 2;
    }
    try {
        Pegasus::CIMClient client;
        client.setTimeout(120000);
        client.connect(argv[1], static_cast<Pegasus::Uint32>(std::atoi(argv[2])), "", "");
        Pegasus::Array<Pegasus::CIMInstance> instances =
            client.enumerateInstances(argv[3], argv[4], true, true, false, false);
        std::printf("%u instances\n", instances.size());
        return 0;
    } catch (const Pegasus::Exception& error) {
        std::fprintf(stderr, "%s\n", static_cast<const char*>(error.getMessage().getCString()));
        return 1;
    }
}

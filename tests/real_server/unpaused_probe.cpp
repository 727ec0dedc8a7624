// brocade-probe, with every long pause the design mandates reported on standard error as
// "pause N ms" instead of waited for.
#include <cstdio>

#include "pause.h"

int ProbeMain(int argc, char** argv);

int main(int argc, char** argv) {
    SetPauseFunction(
        [](unsigned int milliseconds) { std::fprintf(stderr, "pause %u ms\n", milliseconds); });
    return ProbeMain(argc, argv);
}

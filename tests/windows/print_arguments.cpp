// Child program for the OS services tests: prints each argument in brackets on standard output,
// then a marker on standard error, then one more on standard output, each written through at
// once, so that the order in which they reach a shared pipe is known. Exits with 0.

#include <cstdio>

int main(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        std::printf("[%s]", argv[index]);
    }
    std::fflush(stdout);
    std::fputs("|stderr", stderr);
    std::fflush(stderr);
    std::fputs("|stdout", stdout);
    std::fflush(stdout);
    return 0;
}

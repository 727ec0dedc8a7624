// Child program for the OS services tests: prints each argument in brackets on standard output,
// then a marker on standard error, then one more on standard output. Nothing is buffered, so the
// order in which they reach a shared pipe is known. Exits with 0.

#include <cstdio>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    for (int index = 1; index < argc; ++index) std::printf("[%s]", argv[index]);
    std::fputs("|stderr", stderr);
    std::fputs("|stdout", stdout);
}

// The places where tests watch and steer every CIMClient of a process
// (client_observer.h). The shipped library is compiled without
// PEGASUS_CLIENT_TEST_SEAMS: every seam is then a constant that the compiler
// folds away, so neither libbrocade.so nor brocade.dll holds any of it, not
// even an event built for nobody. Test programs link the target
// pegasus_client_test_hooks: the client's files that use a seam, compiled
// again with PEGASUS_CLIENT_TEST_SEAMS, and client_observer.cpp behind them.
#ifndef PEGASUS_TESTING_TEST_SEAMS_H
#define PEGASUS_TESTING_TEST_SEAMS_H

#include <chrono>
#include <cstdint>
#include <string>

#include "cimxml/response_decoder.h"
#include "testing/client_observer.h"

namespace Pegasus {
namespace seams {

#ifdef PEGASUS_CLIENT_TEST_SEAMS

constexpr bool kEnabled = true;
void notify(const pegasus_testing::ClientEvent& event);
std::uint64_t responseLimit();
std::uint32_t timeoutCeiling();  // 0: none
// The deadline the decoder of a response reads, given the request's.
std::chrono::steady_clock::time_point decodingDeadline(
    std::chrono::steady_clock::time_point deadline);
bool refuses(const std::string& setting);

#else

constexpr bool kEnabled = false;
inline void notify(const pegasus_testing::ClientEvent&) {}
constexpr std::uint64_t responseLimit() { return cimxml::kDefaultResponseLimit; }
constexpr std::uint32_t timeoutCeiling() { return 0; }
inline std::chrono::steady_clock::time_point decodingDeadline(
    std::chrono::steady_clock::time_point deadline) {
    return deadline;
}
inline bool refuses(const std::string&) { return false; }

#endif

}  // namespace seams
}  // namespace Pegasus

#endif

// Fuzz harness: the fixture document qv-sim reads (its JSON text), parsed and checked into the
// fixture's state: refused with a reason, or read with every member in its bounds.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fixture/document.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::fixture;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    FixtureState state;
    qv::Limits limits;
    std::string error;
    if (!readFixtureDocument(in, state, limits, error)) {
        qvfuzz::require(!error.empty());
        return 0;
    }
    qvfuzz::require(limits.probeMs >= 0 && limits.connectMs >= 0 && limits.queryMs >= 0 && limits.databaseMs >= 0);
    qvfuzz::require(state.netshChunks >= 1);
    for (const auto& [name, index] : state.computerIndex) qvfuzz::require(index < state.computers.size());
    for (const Computer& c : state.computers) {
        qvfuzz::require(c.connectDelayMs >= 0);
        for (const auto& [cls, ms] : c.classDelays) qvfuzz::require(ms >= 0);
        qvfuzz::require(state.computer(c.name) != nullptr);
    }
    for (const FaultRule& rule : state.faults.rules) qvfuzz::require(rule.operation < kFileOperationCount && rule.at >= 1);
    // The registry's index finds every key it lists.
    for (const auto& key : state.registry.keys) qvfuzz::require(state.registry.find(key.path) != nullptr);
    return 0;
}

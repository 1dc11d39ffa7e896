// Fuzz harness: a WQL query as the collectors and the WS-Management server read them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/wql.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<management::wql::Query> q = management::wql::parse(text);
    if (!q) return 0;
    qvfuzz::require(!q->className.empty());
    Instance i;
    if (q->condition) {
        // The literal matches itself as the property's value.
        i.set(q->condition->property, q->condition->literal);
        const Value& literal = q->condition->literal;
        if (literal.kind == Value::Kind::Text || literal.kind == Value::Kind::Bool || literal.kind == Value::Kind::Int)
            qvfuzz::require(management::wql::selects(*q, i));
    } else {
        qvfuzz::require(management::wql::selects(*q, i));
    }
    return 0;
}

// Fuzz harness: the text driver's connection text, query, Schema.ini section and records (the
// WINS work table).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "targets/text_table.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::targets;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Connection text, NUL, query, NUL, Schema.ini, NUL, the records.
    const auto parts = qvfuzz::pieces(data, size, 4);
    auto part = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string(); };
    const qv::Result<TextConnection> parsed = parseTextConnection(part(0));
    const TextConnection connection = parsed ? *parsed : TextConnection{};
    const qv::Result<std::string> named = parseSelectAll(part(1));
    const std::string file = named ? *named : std::string();
    std::vector<std::string> schema;
    std::istringstream lines(part(2));
    for (std::string line; std::getline(lines, line);) schema.push_back(line);
    TextFormat format = connection.format;
    if (!applySchema(schema, file.empty() ? "wins.txt" : file, format)) format = connection.format;
    std::istringstream records(part(3));
    for (std::string line; std::getline(records, line);) {
        const auto cells = splitRecord(line, format);
        std::size_t total = 0;
        for (const auto& c : cells)
            if (c) total += c->size();
        qvfuzz::require(total <= line.size());  // a cell is made of the line's own characters
    }
    return 0;
}

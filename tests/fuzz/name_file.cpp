// Fuzz harness: the lines of a name file (byte-order marks, UTF-16, CR LF), read in chunks of
// varying size, and the names shown safely from them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/line_reader.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// The file's bytes handed over in chunks whose sizes the input's first byte chooses.
class MemoryReader : public qv::ChunkedLineReader {
public:
    MemoryReader(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
    ~MemoryReader() override { close(); }

protected:
    std::size_t readChunk(char* into, std::size_t capacity) override {
        const std::size_t n = std::min({capacity, chunk_, bytes_.size() - at_});
        std::memcpy(into, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    void closeSource() override {}

private:
    std::string bytes_;
    std::size_t chunk_, at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    MemoryReader reader(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), chunk);
    std::size_t lines = 0, text = 0;
    while (!reader.atEnd()) {
        const std::string line = reader.readLine();
        qvfuzz::require(line.find('\n') == std::string::npos);
        text += line.size();
        const std::string shown = qv::text::shownSafely(line);
        for (unsigned char c : shown) qvfuzz::require(c >= 0x20 && c != 0x7F);
        (void)qv::text::upperLatin(line);
        (void)qv::text::characterCount(line);
        qvfuzz::require(++lines <= size);  // every line costs at least its end
    }
    // UTF-16 decoding at most triples a byte pair's length, with U+FFFD for what cannot be decoded.
    qvfuzz::require(text <= 3 * size);
    return 0;
}

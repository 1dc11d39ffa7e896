// The text-stream reader every file back-end shares: bytes read in chunks, split into lines.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace qv {

// A line ends at LF; one CR before the LF belongs to the line end, and a last line without
// its end is still a line. A file that opens with a byte-order mark (UTF-8, UTF-16 LE or BE) is
// read in that encoding, the mark left out; any other file's lines go through the back-end's
// conversion of its own bytes into internal text. A back-end supplies only the chunk reads and
// the close, and that conversion.
class ChunkedLineReader : public TextReader {
public:
    bool atEnd() override;
    std::string readLine() override;
    void close() override;

protected:
    // Up to `capacity` bytes into `into`; 0 at the end of the file or on a read error.
    virtual std::size_t readChunk(char* into, std::size_t capacity) = 0;
    virtual void closeSource() = 0;  // may be called more than once
    virtual std::string toText(std::string bytes) { return bytes; }

private:
    enum class Encoding { Undecided, Native, Utf8, Utf16Le, Utf16Be };
    bool fill();
    // Moves the raw bytes into the buffer as internal text as far as they can be decoded; at the
    // end of the file the rest too (an odd byte or a lone surrogate becomes U+FFFD).
    void decode(bool atEnd);
    std::string raw_;  // bytes read but not yet decoded
    Encoding encoding_ = Encoding::Undecided;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t scanned_ = 0;  // buffer_ holds no line end before this place
    bool eof_ = false;
};

}  // namespace qv

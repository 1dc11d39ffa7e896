// The text-stream reader every file back-end shares: bytes read in chunks, split into lines.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace qv {

// A line ends at LF; one CR before the LF belongs to the line end, and a last line without
// its end is still a line. A back-end supplies only the chunk reads and the close, and the
// conversion of a line's bytes into internal text.
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
    bool fill();
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t scanned_ = 0;  // buffer_ holds no line end before this place
    bool eof_ = false;
};

}  // namespace qv

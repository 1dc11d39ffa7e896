// The shared text-stream reader: chunked reads split into lines at LF, CR LF or the file's end.
#include "platform/line_reader.h"

namespace qv {

bool ChunkedLineReader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    char chunk[65536];
    const std::size_t got = readChunk(chunk, sizeof chunk);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    buffer_.append(chunk, got);
    return true;
}

bool ChunkedLineReader::atEnd() { return pos_ >= buffer_.size() && !fill(); }

std::string ChunkedLineReader::readLine() {
    for (;;) {
        const std::size_t nl = buffer_.find('\n', pos_);
        if (nl != std::string::npos) {
            const std::size_t end = (nl > pos_ && buffer_[nl - 1] == '\r') ? nl - 1 : nl;
            std::string line = buffer_.substr(pos_, end - pos_);
            pos_ = nl + 1;
            return toText(std::move(line));
        }
        if (!fill()) {
            std::string line = buffer_.substr(pos_);
            pos_ = buffer_.size();
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return toText(std::move(line));
        }
    }
}

void ChunkedLineReader::close() {
    closeSource();
    eof_ = true;
    buffer_.clear();
    pos_ = 0;
}

}  // namespace qv

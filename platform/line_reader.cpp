// The shared text-stream reader: chunked reads split into lines at LF, CR LF or the file's end.
#include "platform/line_reader.h"

#include <algorithm>

namespace qv {

bool ChunkedLineReader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        scanned_ = scanned_ > pos_ ? scanned_ - pos_ : 0;
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
        // Each byte is looked at once: the search goes on where the last one ended.
        const std::size_t nl = buffer_.find('\n', std::max(pos_, scanned_));
        if (nl != std::string::npos) {
            const std::size_t end = (nl > pos_ && buffer_[nl - 1] == '\r') ? nl - 1 : nl;
            std::string line;
            if (pos_ == 0 && 2 * nl >= buffer_.size()) {
                // A line that fills most of the buffer is handed over, not copied.
                std::string rest = buffer_.substr(nl + 1);
                line = std::move(buffer_);
                line.resize(end);
                buffer_ = std::move(rest);
                pos_ = 0;
            } else {
                line = buffer_.substr(pos_, end - pos_);
                pos_ = nl + 1;
            }
            scanned_ = pos_;
            return toText(std::move(line));
        }
        scanned_ = buffer_.size();
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
    scanned_ = 0;
}

}  // namespace qv

// The shared text-stream reader: chunked reads split into lines at LF, CR LF or the file's end.
#include "platform/line_reader.h"

#include <algorithm>
#include <cstdint>

namespace qv {

namespace {

const std::string kMarks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};  // UTF-8, UTF-16 LE, UTF-16 BE
const char* const kReplacement = "\xEF\xBF\xBD";                          // U+FFFD

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

void ChunkedLineReader::decode(bool atEnd) {
    if (encoding_ == Encoding::Undecided) {
        // A start that may still become a mark waits for more bytes.
        for (const std::string& mark : kMarks)
            if (!atEnd && raw_.size() < mark.size() && mark.compare(0, raw_.size(), raw_) == 0) return;
        const Encoding kinds[] = {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be};
        encoding_ = Encoding::Native;
        for (std::size_t i = 0; i < 3; ++i)
            if (raw_.compare(0, kMarks[i].size(), kMarks[i]) == 0) {
                encoding_ = kinds[i];
                raw_.erase(0, kMarks[i].size());
                break;
            }
    }
    if (encoding_ == Encoding::Native || encoding_ == Encoding::Utf8) {
        buffer_ += raw_;
        raw_.clear();
        return;
    }
    const bool little = encoding_ == Encoding::Utf16Le;
    auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(raw_[at]), b = static_cast<unsigned char>(raw_[at + 1]);
        return static_cast<std::uint32_t>(little ? a | (b << 8) : (a << 8) | b);
    };
    std::size_t at = 0;
    while (at + 1 < raw_.size()) {
        const std::uint32_t u = unit(at);
        if (u >= 0xD800 && u < 0xDC00) {
            if (at + 3 >= raw_.size() && !atEnd) break;  // its partner is in the next chunk
            const std::uint32_t low = at + 3 < raw_.size() ? unit(at + 2) : 0;
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(buffer_, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                at += 4;
                continue;
            }
            buffer_ += kReplacement;
        } else if (u >= 0xDC00 && u < 0xE000) {
            buffer_ += kReplacement;
        } else {
            appendUtf8(buffer_, u);
        }
        at += 2;
    }
    raw_.erase(0, at);
    if (atEnd && !raw_.empty()) {
        buffer_ += kReplacement;
        raw_.clear();
    }
}

bool ChunkedLineReader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        scanned_ = scanned_ > pos_ ? scanned_ - pos_ : 0;
        pos_ = 0;
    }
    const std::size_t before = buffer_.size();
    for (;;) {
        char chunk[65536];
        const std::size_t got = readChunk(chunk, sizeof chunk);
        if (got == 0) {
            eof_ = true;
            decode(true);
            return buffer_.size() > before;
        }
        // Bytes that need no decoding go straight into the buffer: a long line is copied once.
        if (raw_.empty() && (encoding_ == Encoding::Native || encoding_ == Encoding::Utf8))
            buffer_.append(chunk, got);
        else {
            raw_.append(chunk, got);
            decode(false);
        }
        if (buffer_.size() > before) return true;
    }
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
            return encoding_ == Encoding::Native ? toText(std::move(line)) : line;
        }
        scanned_ = buffer_.size();
        if (!fill()) {
            std::string line = pos_ == 0 ? std::move(buffer_) : buffer_.substr(pos_);
            buffer_.clear();
            pos_ = 0;
            scanned_ = 0;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return encoding_ == Encoding::Native ? toText(std::move(line)) : line;
        }
    }
}

void ChunkedLineReader::close() {
    closeSource();
    eof_ = true;
    raw_.clear();
    buffer_.clear();
    pos_ = 0;
    scanned_ = 0;
}

}  // namespace qv

// The streaming JSON writer: nlohmann::json's pretty layout and string escapes, straight to a file.
#include "qvdb/export/json_out.h"

#include <array>
#include <cstdio>

namespace qv::qvdb::exporting {

namespace {

constexpr std::uint8_t kAccept = 0, kReject = 1;

// Björn Höhrmann's UTF-8 decoder, the one nlohmann::json's dump decodes with: the same table, so
// that what counts as invalid (overlong forms, surrogates, code points past U+10FFFF) is the same.
std::uint8_t decode(std::uint8_t& state, std::uint32_t& codepoint, std::uint8_t byte) {
    static const std::array<std::uint8_t, 400> table = {{
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 00..1F
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20..3F
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..5F
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 60..7F
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9,  // 80..9F
        7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // A0..BF
        8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // C0..DF
        0xA, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x3, 0x4, 0x3, 0x3,                  // E0..EF
        0xB, 0x6, 0x6, 0x6, 0x5, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8,                  // F0..FF
        0x0, 0x1, 0x2, 0x3, 0x5, 0x8, 0x7, 0x1, 0x1, 0x1, 0x4, 0x6, 0x1, 0x1, 0x1, 0x1,                  // s0..s0
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1,  // s1..s2
        1, 2, 1, 1, 1, 1, 1, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1,  // s3..s4
        1, 2, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1,  // s5..s6
        1, 3, 1, 1, 1, 1, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // s7..s8
    }};
    const std::uint8_t type = table[byte];
    codepoint = state != kAccept ? (byte & 0x3fu) | (codepoint << 6u) : (0xFFu >> type) & byte;
    state = table[256u + static_cast<std::size_t>(state) * 16u + type];
    return state;
}

// Escapes `s` into `put(data, size)` as nlohmann::json's dump_escaped does with ensure_ascii off
// and the replace error handler: the bytes of an incomplete or invalid sequence become one
// U+FFFD, and the byte that broke a sequence is read again on its own.
template <class Put>
void escapeInto(std::string_view s, Put&& put) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::uint32_t codepoint = 0;
    std::uint8_t state = kAccept;
    std::size_t sequenceStart = 0;  // where the sequence being decoded began
    std::size_t plainFrom = 0;      // start of the bytes accepted as they are, not yet put
    auto flushPlain = [&](std::size_t to) {
        if (to > plainFrom) put(s.data() + plainFrom, to - plainFrom);
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(s[i]);
        const std::uint8_t was = state;
        if (was == kAccept) sequenceStart = i;
        switch (decode(state, codepoint, byte)) {
            case kAccept: {
                const char* escape = nullptr;
                switch (codepoint) {
                    case 0x08: escape = "\\b"; break;
                    case 0x09: escape = "\\t"; break;
                    case 0x0A: escape = "\\n"; break;
                    case 0x0C: escape = "\\f"; break;
                    case 0x0D: escape = "\\r"; break;
                    case 0x22: escape = "\\\""; break;
                    case 0x5C: escape = "\\\\"; break;
                    default: break;
                }
                if (escape) {
                    flushPlain(i);
                    put(escape, 2);
                    plainFrom = i + 1;
                } else if (codepoint <= 0x1F) {
                    flushPlain(i);
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(codepoint));
                    put(hex, 6);
                    plainFrom = i + 1;
                }
                break;
            }
            case kReject:
                // The bytes of the sequence so far give way to one replacement; a byte that ended
                // a started sequence may begin a sound one of its own, so it is read again.
                flushPlain(sequenceStart);
                put(kReplacement, 3);
                if (was != kAccept) --i;
                plainFrom = i + 1;
                state = kAccept;
                break;
            default:  // within a sequence
                break;
        }
    }
    if (state != kAccept) {
        flushPlain(sequenceStart);
        put(kReplacement, 3);
    } else {
        flushPlain(s.size());
    }
}

}  // namespace

std::string jsonEscaped(std::string_view text) {
    std::string out;
    escapeInto(text, [&](const char* data, std::size_t size) { out.append(data, size); });
    return out;
}

void JsonOut::put(std::string_view s) {
    if (s.size() >= sizeof buffer_) {
        flush();
        file_.write(s.data(), s.size());
        return;
    }
    if (sizeof buffer_ - used_ < s.size()) flush();
    s.copy(buffer_ + used_, s.size());
    used_ += s.size();
}

void JsonOut::flush() {
    if (used_) file_.write(buffer_, used_);
    used_ = 0;
}

void JsonOut::indent(std::size_t levels) {
    for (std::size_t i = 0; i < levels; ++i) put("  ");
}

void JsonOut::escaped(std::string_view s) {
    escapeInto(s, [this](const char* data, std::size_t size) { put(std::string_view(data, size)); });
}

JsonOut& JsonOut::key(std::string_view name) {
    key_.assign(name);
    return *this;
}

// What stands before a value: the container's opening (held back until its first value, so that
// an empty one is written "{}"), the separator, the indent and, in an object, the member's name.
void JsonOut::beforeValue() {
    if (levels_.empty()) return;
    Level& level = levels_.back();
    put(level.count == 0 ? (level.object ? "{\n" : "[\n") : ",\n");
    ++level.count;
    indent(levels_.size());
    if (level.object) {
        put('"');
        escaped(key_);
        put("\": ");
    }
}

void JsonOut::open(bool object) {
    beforeValue();
    levels_.push_back({object});
}

void JsonOut::end() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (level.count == 0) {
        put(level.object ? "{}" : "[]");
        return;
    }
    put('\n');
    indent(levels_.size());
    put(level.object ? '}' : ']');
}

void JsonOut::string(std::string_view text) {
    beforeValue();
    put('"');
    escaped(text);
    put('"');
}

void JsonOut::number(std::int64_t value) {
    beforeValue();
    put(std::to_string(value));
}

}  // namespace qv::qvdb::exporting

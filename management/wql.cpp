// The WQL reader and equality rule shared by the back-ends that answer queries themselves.
#include "management/wql.h"

#include <charconv>
#include <cstdint>

#include "platform/text.h"

namespace qv::management::wql {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsWord(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool inWord(char c) { return startsWord(c) || isDigit(c); }

// Reads the query text token by token, each read skipping the blanks before it.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    // The identifier that starts here, or empty (nothing taken) when none does.
    std::string_view word() {
        skipBlanks();
        std::size_t begin = pos_;
        if (pos_ < text_.size() && startsWord(text_[pos_]))
            while (pos_ < text_.size() && inWord(text_[pos_])) ++pos_;
        return text_.substr(begin, pos_ - begin);
    }
    // Takes the keyword when the next identifier is it, in any letter case.
    bool keyword(std::string_view name) {
        std::size_t before = pos_;
        if (text::equalsIgnoringCase(word(), name)) return true;
        pos_ = before;
        return false;
    }
    bool symbol(char c) {
        skipBlanks();
        if (pos_ == text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    bool atEnd() {
        skipBlanks();
        return pos_ == text_.size();
    }

    std::optional<Value> literal() {
        skipBlanks();
        if (pos_ == text_.size()) return std::nullopt;
        const char c = text_[pos_];
        if (c == '\'' || c == '"') return quoted(c);
        if (c == '-' || isDigit(c)) return number();
        if (keyword("true")) return Value::of(true);
        if (keyword("false")) return Value::of(false);
        return std::nullopt;
    }

private:
    std::optional<Value> quoted(char quote) {
        std::string out;
        for (++pos_; pos_ < text_.size(); ++pos_) {
            char c = text_[pos_];
            if (c == quote) {
                ++pos_;
                return Value::of(std::move(out));
            }
            if (c == '\\') {
                if (++pos_ == text_.size()) return std::nullopt;
                c = text_[pos_];
                if (c != '\\' && c != '\'' && c != '"') return std::nullopt;
            }
            out += c;
        }
        return std::nullopt;  // unterminated
    }

    std::optional<Value> number() {
        const std::size_t begin = pos_;
        if (text_[pos_] == '-') ++pos_;
        auto digits = [&] {
            std::size_t from = pos_;
            while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
            return pos_ > from;
        };
        if (!digits()) return std::nullopt;
        bool decimal = false;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!digits()) return std::nullopt;
            decimal = true;
        }
        const char* first = text_.data() + begin;
        const char* last = text_.data() + pos_;
        if (decimal) {
            double d = 0;
            auto [end, ec] = std::from_chars(first, last, d);
            if (ec != std::errc() || end != last) return std::nullopt;
            return Value::of(d);
        }
        std::int64_t i = 0;
        auto [end, ec] = std::from_chars(first, last, i);
        if (ec != std::errc() || end != last) return std::nullopt;
        return Value::of(i);
    }

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool isNumber(const Value& v) { return v.kind == Value::Kind::Int || v.kind == Value::Kind::Double; }
double asDouble(const Value& v) { return v.kind == Value::Kind::Int ? static_cast<double>(v.integer) : v.real; }

}  // namespace

std::optional<Query> parse(std::string_view text) {
    Cursor in(text);
    if (!in.keyword("select") || !in.symbol('*') || !in.keyword("from")) return std::nullopt;
    Query query;
    query.className = std::string(in.word());
    if (query.className.empty()) return std::nullopt;
    if (in.atEnd()) return query;
    if (!in.keyword("where")) return std::nullopt;
    Condition condition;
    condition.property = std::string(in.word());
    if (condition.property.empty() || !in.symbol('=')) return std::nullopt;
    std::optional<Value> literal = in.literal();
    if (!literal || !in.atEnd()) return std::nullopt;
    condition.literal = std::move(*literal);
    query.condition = std::move(condition);
    return query;
}

bool matches(const Value& value, const Value& literal) {
    switch (literal.kind) {
        case Value::Kind::Text:
            return value.kind == Value::Kind::Text && text::equalsIgnoringCase(value.text, literal.text);
        case Value::Kind::Bool: return value.kind == Value::Kind::Bool && value.boolean == literal.boolean;
        case Value::Kind::Int:
        case Value::Kind::Double:
            if (!isNumber(value)) return false;
            // Two whole numbers exactly: 64-bit values lose digits as doubles.
            if (value.kind == Value::Kind::Int && literal.kind == Value::Kind::Int) return value.integer == literal.integer;
            return asDouble(value) == asDouble(literal);
        default: return false;
    }
}

bool selects(const Query& query, const Instance& instance) {
    return !query.condition || matches(instance.get(query.condition->property), query.condition->literal);
}

}  // namespace qv::management::wql

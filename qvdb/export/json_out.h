// A JSON document written to a file as it is made: no document is ever held whole in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qvdb/output_folder.h"

namespace qv::qvdb::exporting {

// Writes values, objects and arrays to `file` laid out as nlohmann::json's dump(2) lays them out
// (two spaces of indent, `"key": value`, "{}" and "[]" when empty), strings escaped as its dump
// escapes them with ensure_ascii off and invalid UTF-8 replaced by U+FFFD: a document written
// here is byte for byte the one dump(2, ' ', false, replace) writes. Each string goes from the
// caller's buffer (SQLite's, for a huge value) through a small buffer into the file.
class JsonOut {
public:
    explicit JsonOut(FileOut& file) : file_(file) {}
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;
    ~JsonOut() { flush(); }

    // The member name of the next value (inside an object only).
    JsonOut& key(std::string_view name);
    void string(std::string_view text);
    void number(std::int64_t value);
    void beginObject() { open(true); }
    void beginArray() { open(false); }
    void end();  // of the innermost object or array
    // Writes what is buffered to the file (done at destruction too).
    void flush();

private:
    struct Level {
        bool object;
        std::size_t count = 0;
    };
    void beforeValue();
    void open(bool object);
    void put(char c) {
        if (used_ == sizeof buffer_) flush();
        buffer_[used_++] = c;
    }
    void put(std::string_view s);
    void indent(std::size_t levels);
    void escaped(std::string_view s);

    FileOut& file_;
    std::vector<Level> levels_;
    std::string key_;
    char buffer_[65536];
    std::size_t used_ = 0;
};

// `text` escaped as JsonOut writes a string (without the quotes): for tests and small texts.
std::string jsonEscaped(std::string_view text);

}  // namespace qv::qvdb::exporting

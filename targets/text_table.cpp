// The text driver: delimited text files read as tables, with the folder's Schema.ini honoured.
#include "targets/text_table.h"
#include "platform/text.h"


#include <cctype>

namespace qv::targets {

namespace {

using text::equalsIgnoringCase;

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Splits "key=value" at its first "="; the key and value are trimmed.
bool keyValue(const std::string& item, std::string& key, std::string& value) {
    std::size_t eq = item.find('=');
    if (eq == std::string::npos) return false;
    key = trim(item.substr(0, eq));
    value = trim(item.substr(eq + 1));
    return true;
}

// The delimiter a Format (FMT) value names: TabDelimited, CSVDelimited, Delimited or Delimited(x).
Result<char> delimiterOf(const std::string& format) {
    if (equalsIgnoringCase(format, "TabDelimited")) return '\t';
    if (equalsIgnoringCase(format, "CSVDelimited") || equalsIgnoringCase(format, "Delimited")) return ',';
    if (format.size() == 12 && equalsIgnoringCase(std::string_view(format).substr(0, 10), "Delimited(") && format.back() == ')')
        return format[10];
    return CallError::because("format " + format + " not supported");
}

// True when a new "Key=" item of a connection text begins at `pos` (just after a ";").
bool keyStartsAt(const std::string& text, std::size_t pos) {
    std::size_t i = pos;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || !std::isalpha(static_cast<unsigned char>(text[i]))) return false;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == ' ')) ++i;
    return i < text.size() && text[i] == '=';
}

}  // namespace

int TextTable::column(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsIgnoringCase(columns[i], name)) return static_cast<int>(i);
    return -1;
}

std::optional<std::string> TextTable::cell(std::size_t row, int column) const {
    if (row >= rows.size() || column < 0) return std::nullopt;
    const auto& cells = rows[row];
    if (static_cast<std::size_t>(column) >= cells.size()) return std::nullopt;
    return cells[static_cast<std::size_t>(column)];
}

Result<TextConnection> parseTextConnection(const std::string& connectionText) {
    TextConnection out;
    bool haveFolder = false, haveProperties = false;
    std::size_t pos = 0;
    while (pos < connectionText.size()) {
        std::size_t eq = connectionText.find('=', pos);
        if (eq == std::string::npos) break;
        std::string key = trim(connectionText.substr(pos, eq - pos));
        std::size_t v = eq + 1;
        std::string value;
        if (v < connectionText.size() && connectionText[v] == '"') {
            std::size_t close = connectionText.find('"', v + 1);
            if (close == std::string::npos) return CallError::because("unclosed quote in the connection text");
            value = connectionText.substr(v + 1, close - v - 1);
            pos = connectionText.find(';', close);
            pos = pos == std::string::npos ? connectionText.size() : pos + 1;
        } else {
            // A folder may hold ";": an item ends only where the next "Key=" begins.
            std::size_t end = v;
            for (;;) {
                end = connectionText.find(';', end);
                if (end == std::string::npos || keyStartsAt(connectionText, end + 1)) break;
                ++end;
            }
            if (end == std::string::npos) end = connectionText.size();
            value = connectionText.substr(v, end - v);
            pos = end + 1;
        }
        if (equalsIgnoringCase(key, "Data Source")) {
            out.folder = value;
            haveFolder = true;
        } else if (equalsIgnoringCase(key, "Extended Properties")) {
            haveProperties = true;
            std::size_t start = 0;
            bool first = true;
            while (start <= value.size()) {
                std::size_t semi = value.find(';', start);
                if (semi == std::string::npos) semi = value.size();
                std::string item = trim(value.substr(start, semi - start));
                start = semi + 1;
                if (first) {
                    first = false;
                    if (!equalsIgnoringCase(item, "text")) return CallError::because("not a text connection (" + item + ")");
                    continue;
                }
                std::string k, val;
                if (!keyValue(item, k, val)) continue;
                if (equalsIgnoringCase(k, "HDR")) {
                    out.format.header = equalsIgnoringCase(val, "Yes") || equalsIgnoringCase(val, "True");
                } else if (equalsIgnoringCase(k, "FMT")) {
                    Result<char> delimiter = delimiterOf(val);
                    if (!delimiter) return delimiter.error();
                    out.format.delimiter = *delimiter;
                }
            }
        }
    }
    if (!haveFolder || out.folder.empty()) {
        return CallError::because("no Data Source in the connection text");
    }
    if (!haveProperties) return CallError::because("no Extended Properties in the connection text");
    return out;
}

Result<std::string> parseSelectAll(const std::string& query) {
    std::string q = trim(query);
    const std::string head = "select * from ";
    if (q.size() <= head.size() || !equalsIgnoringCase(std::string_view(q).substr(0, head.size()), head)) {
        return CallError::because("query not understood: " + query);
    }
    std::string name = trim(q.substr(head.size()));
    if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') || (name.front() == '`' && name.back() == '`')))
        name = name.substr(1, name.size() - 2);
    for (char& c : name)
        if (c == '#') c = '.';
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        return CallError::because("table name not usable: " + query);
    }
    return name;
}

Result<Done> applySchema(const std::vector<std::string>& schemaLines, const std::string& tableFile, TextFormat& format) {
    bool inSection = false;
    for (const std::string& raw : schemaLines) {
        std::string line = trim(raw);
        if (!line.empty() && line.back() == '\r') line = trim(line.substr(0, line.size() - 1));
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            inSection = close != std::string::npos && equalsIgnoringCase(trim(line.substr(1, close - 1)), tableFile);
            continue;
        }
        if (!inSection) continue;
        std::string key, value;
        if (!keyValue(line, key, value)) continue;
        if (equalsIgnoringCase(key, "Format")) {
            Result<char> delimiter = delimiterOf(value);
            if (!delimiter) return delimiter.error();
            format.delimiter = *delimiter;
        } else if (equalsIgnoringCase(key, "ColNameHeader")) {
            format.header = equalsIgnoringCase(value, "True") || equalsIgnoringCase(value, "Yes") || value == "1";
        } else if (equalsIgnoringCase(key, "TextDelimiter")) {
            if (equalsIgnoringCase(value, "none") || value.empty())
                format.qualifier.reset();
            else
                format.qualifier = value[0];
        }
    }
    return Done{};
}

std::vector<std::optional<std::string>> splitRecord(const std::string& line, const TextFormat& format) {
    std::vector<std::optional<std::string>> cells;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        std::string cell;
        if (format.qualifier && i < n && line[i] == *format.qualifier) {
            ++i;
            while (i < n) {
                if (line[i] == *format.qualifier) {
                    if (i + 1 < n && line[i + 1] == *format.qualifier) {
                        cell += line[i];
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += line[i++];
            }
        }
        while (i < n && line[i] != format.delimiter) cell += line[i++];
        cells.push_back(cell.empty() ? std::nullopt : std::optional<std::string>(cell));
        if (i >= n) break;
        ++i;  // the delimiter; a line ending in one has an empty last cell
    }
    return cells;
}

Result<TextTable> readTextTable(FileSystem& files, const std::string& connectionText, const std::string& query) {
    TextTable table;
    Result<TextConnection> parsed = parseTextConnection(connectionText);
    if (!parsed) return parsed.error();
    const TextConnection& connection = *parsed;
    Result<std::string> named = parseSelectAll(query);
    if (!named) return named.error();
    const std::string& tableFile = *named;

    TextFormat format = connection.format;
    const std::string schemaPath = files.join(connection.folder, "Schema.ini");
    if (files.fileExists(schemaPath)) {
        auto schema = files.openForReading(schemaPath);
        if (!schema) return CallError::because("Schema.ini cannot be read");
        std::vector<std::string> lines;
        while (!schema->atEnd()) lines.push_back(schema->readLine());
        schema->close();
        if (Result<Done> applied = applySchema(lines, tableFile, format); !applied) return applied.error();
    }

    const std::string path = files.join(connection.folder, tableFile);
    auto in = files.fileExists(path) ? files.openForReading(path) : nullptr;
    if (!in) return CallError::because(tableFile + " cannot be opened");
    bool needHeader = format.header;
    while (!in->atEnd()) {
        std::string line = in->readLine();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        auto cells = splitRecord(line, format);
        if (needHeader) {
            needHeader = false;
            for (std::size_t i = 0; i < cells.size(); ++i)
                table.columns.push_back(cells[i] ? *cells[i] : "F" + std::to_string(i + 1));
            continue;
        }
        // Cells beyond the named columns get the driver's generated names.
        for (std::size_t i = table.columns.size(); i < cells.size(); ++i) table.columns.push_back("F" + std::to_string(i + 1));
        table.rows.push_back(std::move(cells));
    }
    in->close();
    return table;
}

}  // namespace qv::targets

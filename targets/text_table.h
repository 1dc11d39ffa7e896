// The text driver: reads a delimited text file of a folder as a table, guided by the folder's Schema.ini.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/result.h"

namespace qv::targets {

// How the lines of one text table are split.
struct TextFormat {
    char delimiter = ',';                  // CSVDelimited unless the schema or the connection says otherwise
    bool header = true;                    // the first line names the columns
    std::optional<char> qualifier = '"';   // a cell that begins with it runs to its closing twin ("" inside)
};

// One table as read: column names as the header gives them (trailing spaces kept; an empty
// name becomes "F" + its position), then one row per data line. An empty cell is Null.
struct TextTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
    // Position of a column by name (case-insensitive, spaces count); -1 when there is none.
    int column(const std::string& name) const;
    // The cell of a row, Null when the row is shorter than the column list.
    std::optional<std::string> cell(std::size_t row, int column) const;
};

// The settings of the connection text's Extended Properties ("text;HDR=Yes;FMT=Delimited").
struct TextConnection {
    std::string folder;  // Data Source
    TextFormat format;
};
Result<TextConnection> parseTextConnection(const std::string& connectionText);

// The file a "Select * From FILE" query names ("[...]" and "#" for "." accepted).
Result<std::string> parseSelectAll(const std::string& query);

// Applies the Schema.ini section of `tableFile` (Format, ColNameHeader, TextDelimiter) to `format`;
// the reason for a format the driver does not read (FixedLength).
Result<Done> applySchema(const std::vector<std::string>& schemaLines, const std::string& tableFile, TextFormat& format);

// The cells of one line.
std::vector<std::optional<std::string>> splitRecord(const std::string& line, const TextFormat& format);

// Opens the table the query names in the connection's folder and reads it whole, or gives the
// reason the connection text, the query, the schema or the file cannot be used.
Result<TextTable> readTextTable(FileSystem& files, const std::string& connectionText, const std::string& query);

}  // namespace qv::targets

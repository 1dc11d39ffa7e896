// The inventory database read from the PostgreSQL server QV_DATABASE names, each value in the text
// form the SQLite back-end gives it, so that every subcommand reads both alike.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/limits.h"
#include "database/connection_name.h"
#include "database/postgresql/connection.h"
#include "database/postgresql/postgresql_engine.h"
#include "qvdb/inventory_source.h"

namespace qv::qvdb {

namespace {

using database::ColumnType;
using database::TableDef;
namespace pg = database::postgresql;

std::string quotedName(const std::string& name) { return database::quoted(name); }

// A column as the select list reads it: Booleans as 1 or 0, reals as doubles (the SQLite file
// holds a single-precision value widened to a double).
std::string selected(const database::Column& c) {
    const std::string q = quotedName(c.name);
    switch (c.type) {
        case ColumnType::Boolean: return "(" + q + ")::int";
        case ColumnType::Single:
        case ColumnType::Double: return "(" + q + ")::float8";
        case ColumnType::Date: return "to_char(" + q + ", 'YYYY-MM-DD HH24:MI:SS')";
        default: return q;
    }
}

// A double as SQLite writes one as text: 15 significant digits, and ".0" on a whole number.
std::string sqliteReal(const char* text) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || std::isnan(v) || std::isinf(v)) return text;
    char out[40];
    std::snprintf(out, sizeof out, "%.15g", v);
    std::string s = out;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

std::vector<database::Column> allColumns(const TableDef& t) {
    std::vector<database::Column> all(database::inventoryKeyColumns().begin(), database::inventoryKeyColumns().end());
    all.insert(all.end(), t.columns.begin(), t.columns.end());
    return all;
}

std::string selectList(const std::vector<database::Column>& columns) {
    std::string s;
    for (const auto& c : columns) s += (s.empty() ? "" : ", ") + selected(c);
    return s.empty() ? "1" : s;
}

// The written order: a table with a key of its own in key order, the others as the server
// stored them (rows are only ever appended).
std::string writtenOrder(const TableDef& t) {
    return t.primaryKey ? " ORDER BY \"InvDateTime\", \"DomainWorkGrp\", \"DeviceName\"" : " ORDER BY ctid";
}

class PostgresqlSource : public InventorySource {
public:
    PostgresqlSource(std::string connection, int waitMs)
        : connection_(std::move(connection)), name_(database::maskedConnection(connection_)), waitMs_(waitMs) {}

    std::string where() const override { return name_; }

    bool open(std::string& error) {
        if (qv::Result<Done> opened = conn_.open(connection_, waitMs_); !opened) {
            error = name_ + " cannot be used: " + database::withoutPasswords(opened.error().why(), connection_);
            return false;
        }
        return true;
    }

    // The server's answer to one statement, its rows in `out`; false with the reason.
    bool run(const std::string& sql, const std::vector<std::optional<std::string>>& values,
             const std::vector<database::Column>& columns, std::vector<Row>& out, std::string& error) {
        qv::Result<std::vector<pg::Answer>> exchanged = conn_.exchange({pg::Statement{sql, values, {}}});
        if (!exchanged) {
            error = name_ + ": " + database::withoutPasswords(exchanged.error().why(), connection_);
            return false;
        }
        const std::vector<pg::Answer>& answers = *exchanged;
        if (answers.empty() || !answers[0].ok) {
            error = name_ + ": " +
                    (answers.empty() ? std::string("no answer") : database::withoutPasswords(answers[0].message, connection_));
            return false;
        }
        PGresult* r = answers[0].result.get();
        const int rows = PQntuples(r), n = PQnfields(r);
        out.clear();
        out.reserve(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) {
            Row row;
            row.reserve(static_cast<std::size_t>(n));
            for (int k = 0; k < n; ++k) {
                if (PQgetisnull(r, i, k)) {
                    row.push_back(std::nullopt);
                    continue;
                }
                const char* v = PQgetvalue(r, i, k);
                const bool real = k < static_cast<int>(columns.size()) &&
                                  (columns[k].type == ColumnType::Single || columns[k].type == ColumnType::Double);
                row.push_back(real ? sqliteReal(v) : std::string(v, static_cast<std::size_t>(PQgetlength(r, i, k))));
            }
            out.push_back(std::move(row));
        }
        return true;
    }

    bool check(std::string& error) {
        std::unique_ptr<database::Engine> engine = pg::makeEngine({connection_, waitMs_});
        const qv::Result<database::CheckStatus> status = engine->check(database::tableList());
        if (!status) {
            error = name_ + " cannot be used: " + database::withoutPasswords(status.error().why(), connection_);
            return false;
        }
        if (*status == database::CheckStatus::Missing) {
            error = name_ + " holds no inventory tables (not an inventory database)";
            return false;
        }
        std::vector<Row> rows;
        if (!run("SELECT 1 FROM \"DeviceID\" LIMIT 1", {}, {}, rows, error)) return false;
        if (rows.empty()) {
            error = name_ + " holds no inventory yet (run qv first)";
            return false;
        }
        return true;
    }

    bool inventories(std::vector<InventoryKey>& out, std::string& error) override {
        std::vector<Row> rows;
        const auto& key = database::inventoryKeyColumns();
        if (!run("SELECT " + selectList(key) + " FROM \"DeviceID\" ORDER BY \"DeviceName\", \"DomainWorkGrp\", \"InvDateTime\"",
                 {}, key, rows, error))
            return false;
        out.clear();
        for (Row& r : rows) out.push_back({r[0].value_or(""), r[1], r[2].value_or("")});
        return true;
    }

    bool rowsOf(const TableDef& table, const InventoryKey& key, std::vector<Row>& out, std::string& error) override {
        const std::string sql = "SELECT " + selectList(table.columns) + " FROM " + quotedName(table.name) +
                                " WHERE \"InvDateTime\" = $1::timestamp AND \"DomainWorkGrp\" IS NOT DISTINCT FROM $2"
                                " AND \"DeviceName\" = $3" + writtenOrder(table);
        if (!run(sql, {key.when, key.domain, key.name}, table.columns, out, error)) return false;
        if (table.columns.empty())
            for (Row& r : out) r.clear();  // the select list's placeholder
        return true;
    }

    bool scanTable(const TableDef& table, const std::function<bool(const FieldViews&)>& each, std::string& error) override {
        const std::vector<database::Column> columns = allColumns(table);
        std::vector<Row> rows;
        if (!run("SELECT " + selectList(columns) + " FROM " + quotedName(table.name) + writtenOrder(table), {}, columns,
                 rows, error))
            return false;
        FieldViews views;
        for (const Row& r : rows) {
            views.assign(r.begin(), r.end());
            if (!each(views)) break;
        }
        return true;
    }

    bool beginView(std::string& error) override {
        if (inView_) return true;
        std::vector<Row> none;
        if (!run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}, {}, none, error)) return false;
        inView_ = true;
        return true;
    }

    // The server's columns hold no more than their width (the schema is checked), far below any
    // cut a page makes.
    void cutLongTexts(std::size_t) override {}

    void endView() override {
        if (!inView_) return;
        std::vector<Row> none;
        std::string ignored;
        run("COMMIT", {}, {}, none, ignored);
        inView_ = false;
    }

private:
    std::string connection_, name_;
    int waitMs_;
    pg::Connection conn_;
    bool inView_ = false;
};

}  // namespace

std::unique_ptr<InventorySource> openPostgresqlInventory(const std::string& connection, std::string& error) {
    auto source = std::make_unique<PostgresqlSource>(connection, Limits{}.databaseMs);
    if (!source->open(error) || !source->check(error)) return nullptr;
    return source;
}

}  // namespace qv::qvdb

// The PostgreSQL engine: the schema's check and creation under an advisory lock, and each computer's rows in few round trips.
#include "database/postgresql/postgresql_engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <span>

#include "database/postgresql/connection.h"

namespace qv::database::postgresql {

namespace {

// The type names as the server's catalog writes them (format_type), and their type ids.
std::string typeName(const Column& c) {
    switch (c.type) {
        case ColumnType::VarWChar: return "character varying(" + std::to_string(c.size) + ")";
        case ColumnType::Integer: return "integer";
        case ColumnType::Single: return "real";
        case ColumnType::Double: return "double precision";
        case ColumnType::Date: return "timestamp(0) without time zone";
        case ColumnType::Boolean: return "boolean";
    }
    return "";
}

Oid typeOid(const Column& c) {
    switch (c.type) {
        case ColumnType::VarWChar: return 1043;
        case ColumnType::Integer: return 23;
        case ColumnType::Single: return 700;
        case ColumnType::Double: return 701;
        case ColumnType::Date: return 1114;
        case ColumnType::Boolean: return 16;
    }
    return 0;
}

// The key columns then the category columns of a table.
std::vector<Column> columnsOf(const TableDef& table) {
    std::vector<Column> all = inventoryKeyColumns();
    all.insert(all.end(), table.columns.begin(), table.columns.end());
    return all;
}

std::string keyColumnList() {
    std::string list;
    for (const Column& c : inventoryKeyColumns()) list += (list.empty() ? "" : ", ") + quoted(c.name);
    return list;
}

// Any number fixed for this program: runs creating the tables at the same time wait for each other on it.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(5850090335286460416)";

std::vector<std::string> tableNames(const std::vector<TableDef>& tables) {
    std::vector<std::string> names;
    for (const TableDef& t : tables) names.push_back(t.name);
    return names;
}

// A text array parameter: {"a","b"} with quotes and backslashes escaped.
std::string textArray(const std::vector<std::string>& items) {
    std::string a = "{";
    for (const std::string& item : items) {
        if (a.size() > 1) a += ',';
        a += '"';
        for (char c : item) {
            if (c == '"' || c == '\\') a += '\\';
            a += c;
        }
        a += '"';
    }
    return a + "}";
}

// `text` as the server's text columns take it, with its length in characters: a NUL character,
// which they cannot hold, becomes U+2400 (the symbol for NUL), and a byte that is not part of
// UTF-8 becomes U+FFFD, each one character as before, so a row is never lost for them.
std::string serverText(const std::string& text, std::size_t& characters) {
    std::string out;
    out.reserve(text.size());
    characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = n > 0 && i + n <= text.size();
        unsigned cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; valid && k < n; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            valid = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        valid = valid && !((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                           (cp >= 0xD800 && cp <= 0xDFFF));
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else if (c == 0) {
            out += "\xE2\x90\x80";
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

bool validDate(const std::string& t) {
    int y, mo, d, h, mi, s;
    char tail;
    if (t.size() != 19 || std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return y >= 1 && mo >= 1 && mo <= 12 && d >= 1 && d <= (mo == 2 && !leap ? 28 : days[mo - 1]) && h < 24 && mi < 60 &&
           s < 60 && h >= 0 && mi >= 0 && s >= 0;
}

// A stored value in the server's text form for its column, or the reason the column cannot
// hold it. The server would refuse these values too, but only by ending the whole transaction.
std::optional<std::string> textOf(const Column& c, const Stored& v, std::optional<std::string>& out) {
    out.reset();
    if (std::holds_alternative<std::monostate>(v)) return std::nullopt;
    char buf[40];
    switch (c.type) {
        case ColumnType::VarWChar:
        case ColumnType::Date: {
            const auto* s = std::get_if<std::string>(&v);
            if (!s) return std::string("not a text");
            if (c.type == ColumnType::Date) {
                if (!validDate(*s)) return std::string("not a date");
                out = *s;
                return std::nullopt;
            }
            std::size_t characters = 0;
            out = serverText(*s, characters);
            if (static_cast<int>(characters) > c.size) {
                out.reset();
                return "longer than " + std::to_string(c.size) + " characters";
            }
            return std::nullopt;
        }
        case ColumnType::Integer:
        case ColumnType::Boolean: {
            const auto* i = std::get_if<std::int64_t>(&v);
            if (!i) return std::string("not a whole number");
            if (c.type == ColumnType::Boolean) {
                if (*i != 0 && *i != 1) return std::string("not a Boolean");
                out = *i ? "true" : "false";
                return std::nullopt;
            }
            if (*i < -2147483648LL || *i > 2147483647LL) return std::string("outside the 32-bit range");
            out = std::to_string(*i);
            return std::nullopt;
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            double d = 0;
            if (const auto* x = std::get_if<double>(&v)) d = *x;
            else if (const auto* i = std::get_if<std::int64_t>(&v)) d = static_cast<double>(*i);
            else return std::string("not a number");
            if (!std::isfinite(d)) return std::string("not a finite number");
            if (c.type == ColumnType::Single) {
                if (std::fabs(d) > 3.4028234663852886e38) return std::string("outside the single-precision range");
                std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(static_cast<float>(d)));
            } else {
                std::snprintf(buf, sizeof buf, "%.17g", d);
            }
            out = buf;
            return std::nullopt;
        }
    }
    return std::string("of no known type");
}

// One category or key row waiting for the computer's commit.
struct PendingRow {
    const TableDef* table;
    std::vector<std::optional<std::string>> values;
};

// The most rows one INSERT carries: within the protocol's 65535 parameters, and small enough
// that a statement stays quick to parse.
constexpr std::size_t kMaxParameters = 30000;
constexpr std::size_t kMaxRows = 1000;

class PostgresqlEngine : public Engine {
public:
    explicit PostgresqlEngine(ServerSettings settings) : settings_(std::move(settings)) {}

    const char* label() const override { return "PostgreSQL"; }

    Result<CheckStatus> check(const std::vector<TableDef>& tables) override {
        if (Result<Done> connected = connect(); !connected) return connected.error();
        const std::string names = textArray(tableNames(tables));
        // Every column of the listed tables in the connection's schema, and their keys.
        const std::vector<Statement> statements = {
            {"SELECT c.relname, a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, "
             "has_table_privilege(c.oid, 'INSERT') FROM pg_class c "
             "JOIN pg_namespace n ON n.oid = c.relnamespace AND n.nspname = current_schema() "
             "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
             "WHERE c.relkind IN ('r', 'p') AND c.relname = ANY($1::text[]) ORDER BY c.relname, a.attnum",
             {names},
             {}},
            {"SELECT c.relname, k.conname, k.contype, coalesce(p.relname, ''), k.confupdtype, k.confdeltype "
             "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid "
             "JOIN pg_namespace n ON n.oid = c.relnamespace AND n.nspname = current_schema() "
             "LEFT JOIN pg_class p ON p.oid = k.confrelid "
             "WHERE k.contype IN ('p', 'f') AND c.relname = ANY($1::text[])",
             {names},
             {}},
            {"SELECT current_schema() IS NOT NULL", {}, {}},
        };
        Result<std::vector<Answer>> exchanged = conn_.exchange(statements);
        if (!exchanged) return exchanged.error();
        const std::vector<Answer>& answers = *exchanged;
        for (const Answer& a : answers)
            if (!a.ok) return CallError::because(a.message);
        if (std::string(PQgetvalue(answers[2].result.get(), 0, 0)) != "t")
            return CallError::because("no schema of the search path exists");
        struct Found {
            std::vector<std::string> columns;
            bool insertable = true;
        };
        std::map<std::string, Found> found;
        PGresult* cols = answers[0].result.get();
        for (int r = 0; r < PQntuples(cols); ++r) {
            Found& f = found[PQgetvalue(cols, r, 0)];
            f.columns.push_back(std::string(PQgetvalue(cols, r, 1)) + " " + PQgetvalue(cols, r, 2) +
                                (std::string(PQgetvalue(cols, r, 3)) == "t" ? " not null" : ""));
            f.insertable = std::string(PQgetvalue(cols, r, 4)) == "t";
        }
        std::set<std::string> keys;
        PGresult* cons = answers[1].result.get();
        for (int r = 0; r < PQntuples(cons); ++r)
            keys.insert(std::string(PQgetvalue(cons, r, 0)) + "|" + PQgetvalue(cons, r, 1) + "|" + PQgetvalue(cons, r, 2) +
                        "|" + PQgetvalue(cons, r, 3) + "|" + PQgetvalue(cons, r, 4) + PQgetvalue(cons, r, 5));
        bool missing = false;
        for (const TableDef& t : tables) {
            auto it = found.find(t.name);
            if (it == found.end()) {
                missing = true;
                continue;
            }
            std::vector<std::string> expected;
            for (const Column& c : columnsOf(t)) {
                // As created: the key columns but DomainWorkGrp refuse Null, and it too under a
                // primary key; Booleans always.
                const std::string name = c.name;
                const bool notNull = name == "InvDateTime" || name == "DeviceName" || c.type == ColumnType::Boolean ||
                                     (name == "DomainWorkGrp" && t.primaryKey);
                expected.push_back(name + " " + typeName(c) + (notNull ? " not null" : ""));
            }
            if (it->second.columns != expected) return CallError::because(std::string("its table ") + t.name + " has other columns");
            if (t.primaryKey && !keys.count(std::string(t.name) + "|" + t.primaryKey + "|p||  "))
                return CallError::because(std::string("its table ") + t.name + " lacks the primary key " + t.primaryKey);
            if (t.parent && !keys.count(std::string(t.name) + "|" + t.name + "FKey|f|" + t.parent + "|cc"))
                return CallError::because(std::string("its table ") + t.name + " lacks the foreign key " + t.name + "FKey to " +
                                          t.parent + " with cascades");
            if (!it->second.insertable)
                return CallError::because(std::string("its table ") + t.name + " takes no rows from this user");
        }
        return missing ? CheckStatus::Missing : CheckStatus::Usable;
    }

    // The tables that are missing, created in one transaction under a lock that runs started
    // together wait for: the first creates them, the others find them there.
    Creation create(const std::vector<TableDef>& tables) override {
        Creation made;
        if (Result<Done> connected = connect(); !connected) {
            made.why = connected.error().why();
            return made;
        }
        const std::vector<Statement> lockAndLook = {
            {"BEGIN", {}, {}},
            {kSchemaLock, {}, {}},
            {"SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
             "AND n.nspname = current_schema() WHERE c.relname = ANY($1::text[])",
             {textArray(tableNames(tables))},
             {}},
        };
        Result<std::vector<Answer>> looked = conn_.exchange(lockAndLook);
        if (!looked) {
            made.why = looked.error().why();
            return made;
        }
        const std::vector<Answer>& answers = *looked;
        for (const Answer& a : answers)
            if (!a.ok) {
                made.why = a.message;
                rollback();
                return made;
            }
        std::set<std::string> present;
        for (int r = 0; r < PQntuples(answers[2].result.get()); ++r) present.insert(PQgetvalue(answers[2].result.get(), r, 0));
        std::vector<Statement> statements;
        std::vector<const TableDef*> owner;  // the table each statement creates
        for (const TableDef& t : tables) {
            if (present.count(t.name)) continue;
            for (const std::string& sql : postgresql::createTableSql(t)) {
                statements.push_back({sql, {}, {}});
                owner.push_back(&t);
            }
        }
        if (statements.empty()) {
            rollback();
            made.outcome = Creation::Outcome::AlreadyThere;
            return made;
        }
        statements.push_back({"COMMIT", {}, {}});
        Result<std::vector<Answer>> createdTables = conn_.exchange(statements);
        if (!createdTables) {
            made.why = createdTables.error().why();
            return made;
        }
        const std::vector<Answer>& created = *createdTables;
        for (std::size_t i = 0; i + 1 < statements.size(); ++i) {
            if (made.tables.empty() || made.tables.back().table != owner[i]) made.tables.push_back({owner[i], {}});
            if (!created[i].ok) {
                made.tables.back().error = created[i].message;
                made.why = created[i].message;
                rollback();
                return made;
            }
        }
        if (!created.back().ok) {
            made.why = created.back().message;
            made.tables.clear();
            rollback();
            return made;
        }
        made.outcome = Creation::Outcome::Created;
        return made;
    }

    Result<Done> begin() override {
        pending_.clear();
        begun_ = false;
        rootTable_ = nullptr;
        conn_.dropIfEnded();
        return connect();
    }

    RowOutcome insert(const TableDef& table, const std::vector<Stored>& row) override {
        if (!conn_.isOpen()) return {RowStatus::Failed, "the connection to the server was lost"};
        const std::vector<Column> columns = columnsOf(table);
        if (row.size() != columns.size()) return {RowStatus::Refused, "the row does not match the table"};
        PendingRow pending{&table, {}};
        pending.values.resize(row.size());
        for (std::size_t i = 0; i < row.size(); ++i)
            if (std::optional<std::string> bad = textOf(columns[i], row[i], pending.values[i]))
                return {RowStatus::Refused, std::string("the value of ") + columns[i].name + " is " + *bad};
        if (table.parent) {
            // Sent with the commit: rows of one table go together in multi-row INSERTs.
            pending_.push_back(std::move(pending));
            return {};
        }
        // The root row is sent at once, in the round trip that begins the transaction: whether its
        // key is already there decides what becomes of the computer's rows.
        std::vector<Statement> statements;
        if (!begun_) statements.push_back({"BEGIN", {}, {}});
        appendInserts(statements, pending_);
        pending_.clear();
        Statement root = insertStatement(table, {&pending, 1});
        root.sql += " ON CONFLICT DO NOTHING";
        statements.push_back(std::move(root));
        begun_ = true;
        Result<std::vector<Answer>> exchanged = conn_.exchange(statements);
        if (!exchanged) return {RowStatus::Failed, exchanged.error().why()};
        const std::vector<Answer>& answers = *exchanged;
        for (const Answer& a : answers)
            if (!a.ok) return {RowStatus::Failed, a.message.empty() ? "an earlier statement failed" : a.message};
        rootTable_ = &table;
        rootKey_.assign(pending.values.begin(), pending.values.begin() + 3);
        if (std::string(PQcmdTuples(answers.back().result.get())) == "0") {
            // Not inserted: an inventory with this key is there, or a trigger or rule on the
            // server dropped the row (INSERT 0 0 all the same), which only asking tells apart.
            const std::optional<bool> there = rootRowThere();
            rootTable_ = nullptr;
            if (!there) return {RowStatus::Failed, "the server did not say whether the row of " + std::string(table.name) + " is there"};
            if (*there) return {RowStatus::KeyExists, std::string("an inventory with this key is already in ") + table.name};
            return {RowStatus::Failed, droppedText(table, 0, 1)};
        }
        return {};
    }

    Result<Done> commit() override {
        if (!begun_ && pending_.empty()) return Done{};
        std::vector<Statement> statements;
        if (!begun_) statements.push_back({"BEGIN", {}, {}});
        begun_ = true;
        std::vector<Sent> sent(statements.size());
        appendInserts(statements, pending_, &sent);
        pending_.clear();
        if (statements.size() > 0) {
            // The rows first: each INSERT must have stored every row it carried before the commit
            // is asked for, since a trigger or rule on the server may drop rows without an error
            // ("INSERT 0 0"); such a computer is rolled back and said not written.
            Result<std::vector<Answer>> inserted = conn_.exchange(statements);
            if (!inserted) return inserted.error();
            const std::vector<Answer>& answers = *inserted;
            for (std::size_t i = 0; i < answers.size(); ++i) {
                if (!answers[i].ok)
                    return CallError::because(answers[i].message.empty() ? "an earlier statement failed" : answers[i].message);
                if (!sent[i].table) continue;
                const std::string stored = PQcmdTuples(answers[i].result.get());
                if (stored != std::to_string(sent[i].rows))
                    return CallError::because(
                        droppedText(*sent[i].table, std::strtoull(stored.c_str(), nullptr, 10), sent[i].rows));
            }
        }
        statements.assign(1, {"COMMIT", {}, {}});
        Result<std::vector<Answer>> committed = conn_.exchange(statements);
        if (!committed) {
            // The connection was lost with the COMMIT on its way: whether it took effect is asked
            // over a new connection, so a computer is never said lost when its rows are there.
            if (committedAfterAll()) {
                begun_ = false;
                return Done{};
            }
            return committed.error();
        }
        for (const Answer& a : *committed)
            if (!a.ok) return CallError::because(a.message.empty() ? "an earlier statement failed" : a.message);
        begun_ = false;
        return Done{};
    }

    void rollback() override {
        pending_.clear();
        begun_ = false;
        rootTable_ = nullptr;
        if (!conn_.isOpen()) return;
        // A connection whose transaction cannot be ended is closed; the next computer connects anew.
        Result<std::vector<Answer>> answers = conn_.exchange({{"ROLLBACK", {}, {}}});
        if (!answers || !(*answers)[0].ok) conn_.close();
    }

private:
    // Whether the root row of the transaction whose commit went unanswered is on the server: it
    // was new when inserted, so it is there only if that commit was made.
    bool committedAfterAll() {
        if (!rootTable_ || !connect()) return false;
        Result<std::vector<Answer>> answers = conn_.exchange({rootCount()});
        return answers && (*answers)[0].ok && std::string(PQgetvalue((*answers)[0].result.get(), 0, 0)) == "1";
    }

    // Whether the root row of the current transaction's key is in its table (as this transaction
    // sees it); nullopt when the server did not answer.
    std::optional<bool> rootRowThere() {
        Result<std::vector<Answer>> answers = conn_.exchange({rootCount()});
        if (!answers || !(*answers)[0].ok) return std::nullopt;
        return std::string(PQgetvalue((*answers)[0].result.get(), 0, 0)) != "0";
    }

    Statement rootCount() const {
        return {"SELECT count(*) FROM " + quoted(rootTable_->name) +
                    " WHERE \"InvDateTime\" = $1 AND \"DomainWorkGrp\" IS NOT DISTINCT FROM $2 AND \"DeviceName\" = $3",
                rootKey_,
                {1114, 1043, 1043}};
    }

    // The reason a computer is not stored when the server kept fewer rows than it was sent.
    static std::string droppedText(const TableDef& table, unsigned long long stored, std::size_t sent) {
        return "the server stored " + std::to_string(stored) + " of " + std::to_string(sent) + " rows of " + table.name +
               " (a trigger or rule on the server dropped the others)";
    }

    // The connection, made on first use and again after it was lost.
    Result<Done> connect() { return conn_.isOpen() ? Result<Done>(Done{}) : conn_.open(settings_.connection, settings_.waitMs); }

    static Statement insertStatement(const TableDef& table, std::span<const PendingRow> rows) {
        const std::vector<Column> columns = columnsOf(table);
        std::string names;
        for (const Column& c : columns) names += (names.empty() ? "" : ", ") + quoted(c.name);
        Statement s;
        s.sql = "INSERT INTO " + quoted(table.name) + " (" + names + ") VALUES ";
        std::size_t n = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            s.sql += r ? ", (" : "(";
            for (std::size_t i = 0; i < columns.size(); ++i) {
                s.sql += (i ? ", $" : "$") + std::to_string(++n);
                s.values.push_back(rows[r].values[i]);
                s.types.push_back(typeOid(columns[i]));
            }
            s.sql += ")";
        }
        return s;
    }

    // What one statement of an exchange carried: the table and number of rows of an INSERT.
    struct Sent {
        const TableDef* table = nullptr;
        std::size_t rows = 0;
    };

    // The pending rows as INSERTs, in order, consecutive rows of one table in one statement; with
    // `sent`, what each statement carries is added to it.
    static void appendInserts(std::vector<Statement>& statements, const std::vector<PendingRow>& rows,
                              std::vector<Sent>* sent = nullptr) {
        std::size_t from = 0;
        while (from < rows.size()) {
            const TableDef* table = rows[from].table;
            const std::size_t perRow = 3 + table->columns.size();
            std::size_t to = from;
            while (to < rows.size() && rows[to].table == table && to - from < kMaxRows && (to - from + 1) * perRow <= kMaxParameters)
                ++to;
            statements.push_back(insertStatement(*table, {rows.data() + from, to - from}));
            if (sent) sent->push_back({table, to - from});
            from = to;
        }
    }

    ServerSettings settings_;
    Connection conn_;
    std::vector<PendingRow> pending_;
    bool begun_ = false;  // BEGIN was sent for the current computer
    // The root row of the current computer's transaction: its table and key values.
    const TableDef* rootTable_ = nullptr;
    std::vector<std::optional<std::string>> rootKey_;
};

}  // namespace

std::vector<std::string> createTableSql(const TableDef& table) {
    std::string sql = "CREATE TABLE " + quoted(table.name) + " (\n";
    const auto& key = inventoryKeyColumns();
    // InvDateTime and DeviceName refuse Null; DomainWorkGrp and the category columns allow it
    // (a primary key makes its columns refuse it), except Booleans, which never hold Null.
    sql += "  " + quoted(key[0].name) + " " + typeName(key[0]) + " NOT NULL,\n";
    sql += "  " + quoted(key[1].name) + " " + typeName(key[1]) + ",\n";
    sql += "  " + quoted(key[2].name) + " " + typeName(key[2]) + " NOT NULL";
    for (const Column& c : table.columns)
        sql += ",\n  " + quoted(c.name) + " " + typeName(c) + (c.type == ColumnType::Boolean ? " NOT NULL DEFAULT false" : "");
    const std::string keyList = keyColumnList();
    if (table.primaryKey) sql += ",\n  CONSTRAINT " + quoted(table.primaryKey) + " PRIMARY KEY (" + keyList + ")";
    if (table.parent)
        sql += ",\n  CONSTRAINT " + quoted(std::string(table.name) + "FKey") + " FOREIGN KEY (" + keyList + ") REFERENCES " +
               quoted(table.parent) + " (" + keyList + ") ON UPDATE CASCADE ON DELETE CASCADE";
    sql += "\n)";
    std::vector<std::string> statements = {sql};
    // The index that serves the foreign key, so that a cascade finds the child rows directly.
    if (table.parent && !table.primaryKey)
        statements.push_back("CREATE INDEX " + quoted(std::string(table.name) + "FKeyIndex") + " ON " + quoted(table.name) +
                             " (" + keyList + ")");
    return statements;
}

std::unique_ptr<Engine> makeEngine(const ServerSettings& settings) { return std::make_unique<PostgresqlEngine>(settings); }

}  // namespace qv::database::postgresql

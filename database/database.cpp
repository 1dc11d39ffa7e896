// The inventory database, whatever engine holds it: the creation step, the value conversions, the row rules and what the console and log say about them.
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "database/connection_name.h"
#include "database/creation.h"
#include "database/engine.h"
#include "database/records.h"
#include "database/schema.h"
#include "database/sqlite/sqlite_engine.h"
#include "platform/text.h"

namespace qv::database {

// The run's engine and the state of the current computer's rows.
struct Session {
    Session(const Settings& s, std::unique_ptr<Engine> e) : settings(s), engine(std::move(e)) {}
    Settings settings;
    std::unique_ptr<Engine> engine;
    bool inTransaction = false;
    // The database could not be had for the current inventory (locked, read-only, not a
    // database, a server lost): its remaining rows are refused at once instead of waiting again
    // for each.
    bool inventoryRefused = false;
    std::string refusedWhy;
};

Fields emptyRowFields(const TableDef& def);

namespace {

bool onServer(const Settings& settings) { return settings.server && !settings.server->empty(); }

// The database as the console and log name it: QV.mdb, or the server's connection without its
// passwords.
std::string databaseName(const Settings& settings) {
    return onServer(settings) ? maskedConnection(*settings.server) : dataSourceOf(kConnectionString);
}

// An engine's reason as it may be shown: never with a password of the connection.
std::string shown(const Settings& settings, const std::string& why) {
    return onServer(settings) ? withoutPasswords(why, *settings.server) : why;
}

// The engine the setting chooses.
std::unique_ptr<Engine> engineFor(const Settings& settings) {
    if (!onServer(settings))
        return sqlite::makeEngine(settings.files, settings.files.join(settings.folder, dataSourceOf(kConnectionString)),
                                  settings.waitMs);
    if (settings.serverEngine) return settings.serverEngine(ServerSettings{*settings.server, settings.waitMs});
    return nullptr;
}

// The current inventory cannot be trusted any more (a disk that failed or filled up, a damaged
// file, a transaction the engine rolled back itself, a server lost): its remaining rows are
// refused and the rows it has are given up when it ends.
void giveUpInventory(Session& s, const std::string& why) {
    s.inventoryRefused = true;
    s.refusedWhy = why;
}

std::string isoDate(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

bool isBlankText(const Field& f) {
    const std::string* s = std::get_if<std::string>(&f);
    return s && text::trimBlanks(*s).empty();
}

// A field as a number for a numeric column: texts read with the locale's grouping and decimal
// point, Booleans -1 and 0 as the scripting layer counts them.
std::optional<double> numberFor(const Field& f, const Locale& locale) {
    if (const auto* d = std::get_if<double>(&f)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&f)) return static_cast<double>(*i);
    if (const auto* b = std::get_if<bool>(&f)) return *b ? -1.0 : 0.0;
    if (const auto* s = std::get_if<std::string>(&f)) {
        double v = 0;
        if (parseLocaleNumber(locale, text::trimBlanks(*s), v)) return v;
    }
    return std::nullopt;
}

// The stored form of `f` in column `c`, or nullopt when the column cannot take it. A blank
// text in a numeric or date column is stored as Null, as an empty value is.
std::optional<Stored> storedValue(const Column& c, const Field& f, const Locale& locale) {
    if (std::holds_alternative<std::monostate>(f)) {
        if (c.type == ColumnType::Boolean) return Stored(std::int64_t{0});
        return Stored();
    }
    switch (c.type) {
        case ColumnType::VarWChar: {
            std::string text;
            if (const auto* s = std::get_if<std::string>(&f)) text = *s;
            else if (const auto* d = std::get_if<double>(&f)) text = text::plainNumber(*d);
            else if (const auto* i = std::get_if<std::int64_t>(&f)) text = std::to_string(*i);
            else if (const auto* b = std::get_if<bool>(&f)) text = *b ? "True" : "False";
            else text = formatGeneralDate(locale, std::get<DateTime>(f));
            // A text longer than its column is cut to the column's width, never refused: a row
            // is not lost for one long value. (Key columns are checked before, never cut.)
            return Stored(text::firstCharacters(text, static_cast<std::size_t>(c.size)));
        }
        case ColumnType::Integer: {
            if (isBlankText(f)) return Stored();
            if (const auto* i = std::get_if<std::int64_t>(&f)) return Stored(*i);  // range checked by the table
            std::optional<double> d = numberFor(f, locale);
            if (!d || !std::isfinite(*d) || std::fabs(*d) > 4e9) return std::nullopt;
            return Stored(static_cast<std::int64_t>(std::nearbyint(*d)));
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            if (isBlankText(f)) return Stored();
            std::optional<double> d = numberFor(f, locale);
            if (!d || !std::isfinite(*d)) return std::nullopt;
            if (c.type == ColumnType::Double) return Stored(*d);
            if (std::fabs(*d) > std::numeric_limits<float>::max()) return std::nullopt;
            return Stored(static_cast<double>(static_cast<float>(*d)));
        }
        case ColumnType::Date: {
            if (isBlankText(f)) return Stored();
            if (const auto* t = std::get_if<DateTime>(&f)) return Stored(isoDate(*t));
            DateTime t;
            if (const auto* s = std::get_if<std::string>(&f); s && parseLocaleDate(locale, text::trimBlanks(*s), t))
                return Stored(isoDate(t));
            return std::nullopt;
        }
        case ColumnType::Boolean: {
            if (const auto* b = std::get_if<bool>(&f)) return Stored(std::int64_t{*b ? 1 : 0});
            if (const auto* s = std::get_if<std::string>(&f)) {
                const std::string t = text::trimBlanks(*s);
                if (text::equalsIgnoringCase(t, "true")) return Stored(std::int64_t{1});
                if (text::equalsIgnoringCase(t, "false")) return Stored(std::int64_t{0});
            }
            if (std::holds_alternative<DateTime>(f)) return std::nullopt;
            std::optional<double> d = numberFor(f, locale);
            if (!d) return std::nullopt;
            return Stored(std::int64_t{*d != 0 ? 1 : 0});
        }
    }
    return std::nullopt;
}

// One row: the inventory key and the given columns, converted for their columns and handed to
// the engine. A value a column cannot take refuses the row before the engine sees it.
RowOutcome insertRow(Session& s, const InventoryKey& key, const TableDef& table, const Fields& fields) {
    const Locale& locale = s.settings.locale;
    std::vector<const Field*> byColumn(table.columns.size(), nullptr);
    for (const auto& [name, value] : fields) {
        std::size_t i = 0;
        while (i < table.columns.size() && name != table.columns[i].name) ++i;
        if (i == table.columns.size()) return {RowStatus::Refused, "no column " + name};
        byColumn[i] = &value;
    }
    static const Field kNull;
    std::vector<Stored> row = {Stored(isoDate(s.settings.runStartTime)), Stored(key.targetDomain), Stored(key.currentTarget)};
    row.reserve(3 + table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        std::optional<Stored> v = storedValue(table.columns[i], byColumn[i] ? *byColumn[i] : kNull, locale);
        if (!v) return {RowStatus::Refused, std::string("the value of ") + table.columns[i].name + " does not fit its column"};
        row.push_back(std::move(*v));
    }
    RowOutcome outcome = s.engine->insert(table, row);
    outcome.reason = shown(s.settings, outcome.reason);
    if (outcome.status == RowStatus::Failed) giveUpInventory(s, outcome.reason);
    return outcome;
}

RowOutcome append(Session& s, const InventoryKey& key, const std::string& tableName, const Fields& fields) {
    const TableDef* table = findTable(tableName);
    if (!table) return {RowStatus::Refused, "no table " + tableName};
    if (s.inventoryRefused) return {RowStatus::Failed, s.refusedWhy};
    if (!s.inTransaction) {
        if (Result<Done> begun = s.engine->begin(); !begun) {
            giveUpInventory(s, shown(s.settings, begun.error().why()));
            return {RowStatus::Failed, s.refusedWhy};
        }
        s.inTransaction = true;
    }
    return insertRow(s, key, *table, fields);
}

// The database cannot be used: the reason and the two warning lines on the console and in the
// log, and the run goes on with reports only.
void refuse(const Settings& settings, Reporter& report, const std::string& why) {
    const std::string reason = databaseName(settings) + " cannot be used: " + shown(settings, why);
    report.log("  " + reason);
    report.say(reason);
    warnNoDatabase(report);
}

RowOutcome appendEmptyOutcome(Session& s, const InventoryKey& key, const std::string& table) {
    const TableDef* def = findTable(table);
    if (!def) return {RowStatus::Refused, "no table " + table};
    return append(s, key, table, emptyRowFields(*def));
}

// DeviceID (with the given columns), SoftwareKey and HardwareKey; the first that is not stored
// ends them, with its table.
RowOutcome appendMasterOutcome(Session& s, const InventoryKey& key, const Fields& deviceIdFields,
                               std::string& table) {
    for (const char* name : {"DeviceID", "SoftwareKey", "HardwareKey"}) {
        table = name;
        RowOutcome o = append(s, key, name, table == "DeviceID" ? deviceIdFields : Fields{});
        if (o.status != RowStatus::Stored) return o;
    }
    return {};
}

}  // namespace

void closeSession(Session* s) { delete s; }

bool isKeyTable(const TableDef& table) { return table.primaryKey && table.parent; }

std::vector<std::string> tableCreationLines(const std::vector<TableCreation>& tables, const std::string& label,
                                            bool errorsOnly) {
    std::vector<std::string> lines;
    for (const TableCreation& t : tables) {
        if (!t.error.empty())
            lines.push_back("    Table Creation Error " + std::string(t.table->name) + label + "-->" + t.error + " Error");
        else if (!errorsOnly && !isKeyTable(*t.table))
            lines.push_back("    Table " + std::string(t.table->name) + " Created");
    }
    return lines;
}

void warnNoDatabase(Reporter& report) {
    report.log("            Warning: Database requirements not met.\r\n"
               "                     Database will not be created and data not written.");
    report.say("Warning: Database requirements not met.\r\n"
               "Database will not be created and data not written.");
}

std::unique_ptr<Session, SessionCloser> createOrOpenDatabase(const Settings& settings, Reporter& report) {
    std::unique_ptr<Engine> engine = engineFor(settings);
    if (!engine) {
        refuse(settings, report, "this program was built without a database server engine");
        return nullptr;
    }
    std::unique_ptr<Session, SessionCloser> s(new Session(settings, std::move(engine)));
    const std::string name = databaseName(settings);
    // Twice at most: when another run creates the database first, the second check finds it.
    for (int round = 0; round < 2; ++round) {
        Result<CheckStatus> status = s->engine->check(tableList());
        if (!status) {
            refuse(settings, report, status.error().why());
            return nullptr;
        }
        if (*status == CheckStatus::Usable) {
            report.log("  " + name + " exists; data to be appended");
            return s;
        }
        if (round == 1) {
            refuse(settings, report, "its tables are missing");
            return nullptr;
        }
        Creation made = s->engine->create(tableList());
        switch (made.outcome) {
            case Creation::Outcome::Created:
                report.log("  " + name + " Created");
                for (const std::string& line : tableCreationLines(made.tables, s->engine->label()))
                    report.log(shown(settings, line));
                return s;
            case Creation::Outcome::AlreadyThere: break;
            case Creation::Outcome::Failed:
                for (const std::string& line : tableCreationLines(made.tables, s->engine->label(), true))
                    report.log(shown(settings, line));
                refuse(settings, report, made.why);
                return nullptr;
        }
    }
    return nullptr;
}

namespace {
Result<Done> resultOf(const RowOutcome& o) {
    if (o.status == RowStatus::Stored) return Done{};
    return CallError::because(o.reason);
}
}  // namespace

Result<Done> appendRow(Session& db, const InventoryKey& key, const std::string& table, const Fields& fields) {
    return resultOf(append(db, key, table, fields));
}

Fields emptyRowFields(const TableDef& def) {
    Fields fields;
    for (const Column& c : def.columns) {
        switch (c.type) {
            case ColumnType::VarWChar: fields.emplace_back(c.name, std::string()); break;
            case ColumnType::Integer: fields.emplace_back(c.name, std::int64_t{0}); break;
            case ColumnType::Single:
            case ColumnType::Double: fields.emplace_back(c.name, 0.0); break;
            case ColumnType::Boolean: fields.emplace_back(c.name, false); break;
            case ColumnType::Date: fields.emplace_back(c.name, std::monostate()); break;
        }
    }
    return fields;
}

Result<Done> appendEmptyRow(Session& db, const InventoryKey& key, const std::string& table) {
    return resultOf(appendEmptyOutcome(db, key, table));
}

Result<Done> appendMasterRows(Session& db, const InventoryKey& key, const Fields& deviceIdFields) {
    std::string table;
    return resultOf(appendMasterOutcome(db, key, deviceIdFields, table));
}

Result<Done> endInventory(Session& db) {
    Result<Done> ended = Done{};
    if (db.inTransaction) {
        if (Result<Done> committed = db.engine->commit(); !committed) {
            // Held by another program past the wait, the disk failed, the server was lost: the
            // computer's rows are given up, and said so.
            ended = CallError::because(shown(db.settings, committed.error().why()));
            db.engine->rollback();
        }
    }
    db.inTransaction = false;
    db.inventoryRefused = false;
    return ended;
}

namespace {
// Ends a computer that was given up: what stands in its transaction is rolled back.
void abandonInventory(Session& db) {
    if (db.inTransaction) db.engine->rollback();
    db.inTransaction = false;
    db.inventoryRefused = false;
}
}  // namespace

Result<Done> keyFits(const InventoryKey& key) {
    for (const Column& c : inventoryKeyColumns()) {
        const std::string name = c.name;
        const std::string* value = name == "DeviceName"      ? &key.currentTarget
                                   : name == "DomainWorkGrp" ? &key.targetDomain
                                                             : nullptr;
        if (value && static_cast<int>(text::characterCount(*value)) > c.size)
            return CallError::because(name + " holds at most " + std::to_string(c.size) + " characters");
    }
    return Done{};
}

void InventoryRows::write(const OutputItem& item) {
    if (skipped_ || !db_) return;
    key_.targetDomain = item.targetDomain;
    switch (item.kind) {
        case OutputItem::Kind::MasterRows:
            // Without its own master row no row of the computer is written: a refused key (too
            // long, or the same as an inventory already stored) would otherwise hang the rows
            // from another inventory or lose them one by one.
            if (Result<Done> fits = keyFits(key_); !fits) {
                skip(fits.error().why(), false);
            } else {
                std::string table;
                RowOutcome o = appendMasterOutcome(*db_, key_, item.fields, table);
                if (o.status == RowStatus::Stored) break;
                // Two runs in the same second, or one name twice in other case.
                if (o.status == RowStatus::KeyExists && table == "DeviceID")
                    o.reason = "an inventory of " + key_.currentTarget + " with this run's start time is already stored";
                skip(o.reason, db_->inventoryRefused);
            }
            break;
        case OutputItem::Kind::Row:
        case OutputItem::Kind::EmptyRow: {
            Result<Done> appended = item.kind == OutputItem::Kind::Row ? appendRow(*db_, key_, item.text, item.fields)
                                                                       : appendEmptyRow(*db_, key_, item.text);
            if (appended) break;
            const std::string& why = appended.error().why();
            if (db_->inventoryRefused) {
                skip(why, true);
            } else if (loggedTables_.insert(item.text).second) {
                report_.log(text::shownSafely(key_.currentTarget) + " Row of " + item.text + " not written to " +
                            databaseName(db_->settings) + ": " + text::shownSafely(why));
            }
            break;
        }
        default: break;
    }
}

bool InventoryRows::commit() {
    if (!db_) return true;
    if (!skipped_)
        if (Result<Done> ended = endInventory(*db_); !ended) skip(ended.error().why(), true);
    if (skipped_) {
        const std::string line = text::shownSafely(key_.currentTarget) + " Rows not written to " + databaseName(db_->settings) + ": " +
                                 text::shownSafely(skippedWhy_);
        report_.say(line);
        report_.log(line);
    }
    // A computer given up part-way keeps none of its rows.
    if (skipped_) abandonInventory(*db_);
    return !lost_;
}

void InventoryRows::skip(const std::string& why, bool lost) {
    if (skipped_) return;
    skipped_ = true;
    lost_ = lost;
    skippedWhy_ = why;
}

}  // namespace qv::database

// The WINS source: netsh dumps the controller's WINS database, the dump is cleaned into a table and
// read back through the text driver, and every unique workstation name ("[00h]") is added.
#include "targets/wins_source.h"

#include <cctype>
#include <cstdint>

#include "files/text_files.h"
#include "platform/text.h"
#include "targets/target_list.h"
#include "targets/text_table.h"

namespace qv::targets {

namespace {

constexpr const char* kDumpFile = "WinsDB.txt";
constexpr const char* kCleanFile = "CleanWINS.txt";
constexpr const char* kSchemaFile = "Schema.ini";
constexpr const char* kKeptSchemaFile = "Schema.ini.tmp";
constexpr const char* kNameColumn = "NAME                ";
constexpr const char* kGroupColumn = "GROUP          ";
constexpr const char* kUnavailable = "; WINS Names not available";
constexpr int kPollStepMs = 10;
constexpr int kWaitLimitMs = 60000;

// What this source sees of the run.
struct WinsRun {
    Platform& platform;
    const RunEnvironment& env;
    Reporter& reporter;
    TargetList& list;
};

// A message of this source that goes to the console and, word for word, to the log.
void report(WinsRun& ctx, const std::string& text) {
    ctx.reporter.say(text);
    ctx.reporter.log(text);
}

// The last n characters of a UTF-8 text.
std::string lastCharacters(const std::string& s, std::size_t n) {
    std::size_t count = text::characterCount(s);
    if (count <= n) return s;
    std::size_t skip = count - n, seen = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && seen++ == skip) return s.substr(i);
    return {};
}

// The controller name goes into a command line: only letters, digits, "-", "_" and "." may.
bool isPlainHostName(const std::string& name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return false;
    return true;
}

// A name shown in a message, with control characters made visible as "?".
std::string printable(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return s;
}

// The work files of one run of this source, removed again on every path, and a user's own
// Schema.ini put back.
class WorkFiles {
    WinsRun& ctx_;  // first: the paths below are joined through it

public:
    explicit WorkFiles(WinsRun& ctx)
        : ctx_(ctx),
          dump(join(kDumpFile)),
          clean(join(kCleanFile)),
          schema(join(kSchemaFile)),
          keptSchema(join(kKeptSchemaFile)) {}
    WorkFiles(const WorkFiles&) = delete;
    WorkFiles& operator=(const WorkFiles&) = delete;
    ~WorkFiles() { removeAll(); }

    // Keeps a user's Schema.ini as Schema.ini.tmp and removes it; false (nothing touched) when
    // the copy cannot be made.
    bool keepUserSchema() {
        FileSystem& fs = ctx_.platform.files;
        if (fs.fileExists(schema)) {
            if (!fs.copyFile(schema, keptSchema)) return false;
            schemaSaved_ = true;
            schemaOurs_ = true;
            fs.deleteFile(schema);
        } else {
            schemaSaved_ = true;
            schemaOurs_ = true;
        }
        return true;
    }

    const std::string dump, clean, schema, keptSchema;

private:
    std::string join(const char* name) { return ctx_.platform.files.join(ctx_.env.sPath, name); }

    void remove(const std::string& path, const char* name) {
        FileSystem& fs = ctx_.platform.files;
        if (fs.fileExists(path) && !fs.deleteFile(path)) report(ctx_, std::string("Unable to delete ") + name);
    }

    void removeAll() {
        FileSystem& fs = ctx_.platform.files;
        remove(dump, kDumpFile);
        remove(clean, kCleanFile);
        if (schemaOurs_) remove(schema, kSchemaFile);
        if (schemaSaved_ && fs.fileExists(keptSchema)) {
            if (fs.copyFile(keptSchema, schema))
                remove(keptSchema, kKeptSchemaFile);
            else
                report(ctx_, "Unable to restore Schema.ini; the earlier Schema.ini is kept as Schema.ini.tmp");
        }
    }

    bool schemaSaved_ = false;  // a user's Schema.ini (if any) is safe in Schema.ini.tmp
    bool schemaOurs_ = false;   // Schema.ini is ours to remove
};

enum class DumpWait { Complete, NeverCreated, StayedEmpty, KeptGrowing };

// Polls the dump every 10 ms until its length stays the same between two readings, for at most
// 60 seconds in all. `elapsed` counts the sleeps.
DumpWait waitForDump(WinsRun& ctx, const std::string& path, int& elapsed) {
    FileSystem& fs = ctx.platform.files;
    auto tick = [&] {
        if (elapsed >= kWaitLimitMs) return false;
        ctx.platform.system.sleepMs(kPollStepMs);
        elapsed += kPollStepMs;
        return true;
    };
    while (!fs.fileExists(path))
        if (!tick()) return DumpWait::NeverCreated;
    auto length = [&] {
        std::uint64_t n = 0;
        return fs.fileLength(path, n) ? n : 0;
    };
    while (length() == 0)
        if (!tick()) return DumpWait::StayedEmpty;
    std::uint64_t last = 0;
    for (std::uint64_t now = length(); now != last; now = length()) {
        last = now;
        if (!tick()) return DumpWait::KeptGrowing;
    }
    return DumpWait::Complete;
}

// The kept lines of the dump, cleaned: no summary lines, no near-empty lines, no CR, "." as "?".
bool cleanDump(WinsRun& ctx, const WorkFiles& work) {
    std::unique_ptr<TextWriter> out;
    if (!files::openForWriting(ctx.platform.files, ctx.reporter, work.clean, out)) {
        report(ctx, std::string("Unable to create ") + kCleanFile + kUnavailable);
        return false;
    }
    std::unique_ptr<TextReader> in;
    if (!files::openForReading(ctx.platform.files, work.dump, in)) {
        out->close();
        report(ctx, std::string("Unable to read ") + kDumpFile + kUnavailable);
        return false;
    }
    bool written = true;
    while (written && !in->atEnd()) {
        std::string line = in->readLine();
        if (line.find("Total No") != std::string::npos || text::characterCount(line) < 2) continue;
        std::string cleaned;
        cleaned.reserve(line.size());
        for (char c : line) {
            if (c == '\r') continue;
            cleaned += c == '.' ? '?' : c;
        }
        written = out->writeLine(cleaned);
    }
    in->close();
    out->close();
    if (!written) report(ctx, std::string("Unable to write ") + kCleanFile + kUnavailable);
    return written;
}

bool writeSchema(WinsRun& ctx, WorkFiles& work) {
    if (!work.keepUserSchema()) {
        report(ctx, std::string("Unable to keep the existing ") + kSchemaFile + kUnavailable);
        return false;
    }
    std::unique_ptr<TextWriter> out;
    bool ok = files::openForWriting(ctx.platform.files, ctx.reporter, work.schema, out);
    if (ok) {
        ok = out->writeLine(std::string("[") + kCleanFile + "]" + "\r\n" + "Format=TabDelimited");
        out->close();
    }
    if (!ok) report(ctx, std::string("Unable to create ") + kSchemaFile + kUnavailable);
    return ok;
}

// Reads CleanWINS.txt through the text driver and adds every unique "[00h]" name.
bool addWorkstationNames(WinsRun& ctx) {
    const std::string connection = "Provider=Microsoft.Jet.OLEDB.4.0;" + std::string("Data Source=") + ctx.env.sPath +
                                   ";" + "Extended Properties=\"text;HDR=Yes;FMT=Delimited\"";
    Result<TextTable> read = readTextTable(ctx.platform.files, connection, std::string("Select * From ") + kCleanFile);
    std::string why = read ? "" : read.error().why();
    TextTable table = read ? std::move(*read) : TextTable{};
    if (read) {
        if (table.column(kNameColumn) < 0) why = "no NAME column";
        else if (table.column(kGroupColumn) < 0) why = "no GROUP column";
    }
    if (!why.empty()) {
        report(ctx, std::string("Unable to read ") + kCleanFile + " (" + why + ")" + kUnavailable);
        return false;
    }
    const int nameColumn = table.column(kNameColumn), groupColumn = table.column(kGroupColumn);
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        std::string name, type, group;
        if (auto value = table.cell(row, nameColumn)) {
            name = text::trimBlanks(ctx.platform.system.upperCase(text::firstCharacters(*value, 15)));
            type = lastCharacters(*value, 5);
        }
        if (auto value = table.cell(row, groupColumn)) group = text::trimBlanks(*value);
        if (group != "GROUP" && type == "[00h]") ctx.list.push_back(name);
    }
    return true;
}

}  // namespace

void addWinsTargets(Platform& platform, const RunEnvironment& env, Reporter& reporter, TargetList& list) {
    WinsRun ctx{platform, env, reporter, list};
    if (!ctx.env.bFlagNetsh) {
        ctx.reporter.say("Netsh.exe missing; WINS Names not available");
        if (!ctx.env.bFlagWINS) ctx.reporter.say("No WINS service; WINS Names not available");
        return;
    }
    if (!ctx.env.bFlagWINS) {
        ctx.reporter.say("No WINS service; WINS Names not available");
        return;
    }
    if (!isPlainHostName(ctx.env.sPDC)) {
        report(ctx, "Domain Controller name '" + printable(ctx.env.sPDC) + "' not usable for Netsh.exe" + kUnavailable);
        return;
    }
    std::string interpreter;
    if (!ctx.platform.system.environmentVariable("ComSpec", interpreter) || interpreter.empty()) {
        report(ctx, std::string("ComSpec not set") + kUnavailable);
        return;
    }

    // A dump left by an earlier run would pass for the new one.
    const std::string earlierDump = ctx.platform.files.join(ctx.env.sPath, kDumpFile);
    if (ctx.platform.files.fileExists(earlierDump) && !ctx.platform.files.deleteFile(earlierDump)) {
        report(ctx, std::string("Unable to delete the earlier ") + kDumpFile + kUnavailable);
        return;
    }
    WorkFiles work(ctx);
    const std::string parameters = " /c netsh wins server \\\\" + ctx.env.sPDC + " show database servers={} file=" +
                                   kDumpFile + " >NUL";
    if (!ctx.platform.system.startProcess(interpreter, parameters, ctx.env.sPath)) {
        report(ctx, "Unable to start " + interpreter + kUnavailable);
        return;
    }
    int elapsed = 0;
    switch (waitForDump(ctx, work.dump, elapsed)) {
        case DumpWait::Complete:
            break;
        case DumpWait::NeverCreated:
            report(ctx, std::string(kDumpFile) + " not created after 60 seconds" + kUnavailable);
            return;
        case DumpWait::StayedEmpty:
            report(ctx, std::string(kDumpFile) + " still empty after 60 seconds" + kUnavailable);
            return;
        case DumpWait::KeptGrowing:
            report(ctx, std::string(kDumpFile) + " still growing after 60 seconds" + kUnavailable);
            return;
    }
    ctx.reporter.log("WINS time delay: " + std::to_string(elapsed) + " milliseconds");

    if (!cleanDump(ctx, work)) return;
    if (!writeSchema(ctx, work)) return;
    addWorkstationNames(ctx);
}

}  // namespace qv::targets

// The narrow interfaces through which the program reaches every operating-system service.
// Each back-end (posix, fixture, win32) implements them; the logic never calls the OS directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/text.h"
#include "platform/result.h"
#include "platform/values.h"

namespace qv {

// The break flag and the last control event type. Written by a signal or console handler
// (possibly on another thread), read by the run driver before each computer.
struct ControlEvents {
    std::atomic<bool> flag{false};
    std::atomic<int> type{-1};
    // The console is going away (closed, terminated) or the user pressed Ctrl-C again: the run
    // must end now, even inside a call that waits, not at the next computer.
    std::atomic<bool> urgent{false};
    void raise(int eventType) {
        flag.store(true);
        type.store(eventType);
    }
};

// Console: set-up and restore, title, byte output, the one-key pause.
class Console {
public:
    virtual ~Console() = default;
    // Saves modes, installs the control handler that reports into `events`.
    virtual void start(ControlEvents& events) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // Writes the bytes of `text` (internal UTF-8, converted to the console's code page).
    virtual std::size_t write(const std::string& text) = 0;
    // Discards pending input, shows `prompt`, reads one key without echo, restores the mode.
    // False, with nothing shown, when no key can be read: input is not a console or terminal.
    virtual bool pauseForKey(const std::string& prompt) = 0;
    // Shows `line` as the run's one status line, rewritten in place, where the platform has a
    // terminal for it (POSIX: standard error is a terminal); an empty line erases it. Consoles
    // without such a terminal show nothing of it.
    virtual void status(const std::string& /*line*/) {}
    // Restores what start saved. Idempotent.
    virtual void end() = 0;
    // Called when the n-th computer of the run (1-based) starts; lets a simulated console raise
    // its scripted control events. Real consoles ignore it.
    virtual void beginTarget(int /*ordinal*/) {}
};

// The local registry, by predefined hive handle (0x80000000 + n).
struct RegistryValue {
    std::int32_t type = 0;
    std::vector<unsigned char> data;  // raw bytes, as the registry stores them
};
enum class RegistryStatus { Ok, KeyMissing, ValueMissing };
class Registry {
public:
    virtual ~Registry() = default;
    virtual RegistryStatus read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                RegistryValue& out) = 0;
};

// The operating-system version record.
struct VersionRecord {
    std::int32_t platformId = 0;
    std::int32_t major = 0, minor = 0, build = 0;
    std::string csd;  // service-pack text, possibly with trailing NULs
};

// Identity of the local computer and user. Each returns false when the platform call fails.
class Identity {
public:
    virtual ~Identity() = default;
    virtual bool computerName(std::string& out) = 0;
    virtual bool userName(std::string& out) = 0;
    virtual bool dnsDomain(std::string& out) = 0;
    virtual bool documentsFolder(std::string& out) = 0;  // no trailing separator
    virtual bool privilegeLevel(const std::string& user, std::int32_t& out) = 0;
    // True when the process runs with an administrator's filtered (not elevated) token: facts of
    // the local computer that need elevation may be missing.
    virtual bool runsNotElevated() { return false; }
    virtual bool primaryDCName(std::string& out) = 0;  // raw: "\\NAME" possibly followed by NULs
    virtual bool version(VersionRecord& out) = 0;
    // A platform whose systems the version table does not name gives its own name here.
    virtual bool osNameOverride(std::string& /*out*/) { return false; }
    // True when `name` means the computer this runs on: "." or its own name here (any case);
    // platforms that can tell add "localhost", its DNS names and its own and loopback addresses.
    // Such a name is never probed, and its files are read in place, never through a share.
    virtual bool isLocalComputer(const std::string& name);
};

// One instance of a management class: named properties in the order the provider gives them.
struct Instance {
    std::vector<std::pair<std::string, Value>> properties;
    // Case-insensitive lookup; an absent property cannot be read.
    const Value& get(const std::string& name) const;
    void set(const std::string& name, Value v);
};
using Instances = std::vector<Instance>;

// The predefined registry hives: their handles (0x80000000 + n) are also the registry provider's
// hive numbers.
struct Hive {
    const char* abbreviation;
    const char* name;
    std::uint32_t handle;
};
inline constexpr Hive kHives[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", 2147483648u},    {"HKCU", "HKEY_CURRENT_USER", 2147483649u},
    {"HKLM", "HKEY_LOCAL_MACHINE", 2147483650u},   {"HKU", "HKEY_USERS", 2147483651u},
    {"HKPD", "HKEY_PERFORMANCE_DATA", 2147483652u}, {"HKCC", "HKEY_CURRENT_CONFIG", 2147483653u},
    {"HKDD", "HKEY_DYN_DATA", 2147483654u},
};
inline constexpr std::uint32_t kHiveClassesRoot = kHives[0].handle;
inline constexpr std::uint32_t kHiveLocalMachine = kHives[2].handle;
inline constexpr std::uint32_t kHiveUsers = kHives[3].handle;

// An open text stream of the file layer: lines in, lines out, CR LF line ends.
class TextReader {
public:
    virtual ~TextReader() = default;
    virtual bool atEnd() = 0;
    virtual std::string readLine() = 0;  // without its line end
    virtual void close() = 0;
};
class TextWriter {
public:
    virtual ~TextWriter() = default;
    virtual bool writeLine(const std::string& text) = 0;  // text + CR LF
    // Lines a writer holds back reach the file; false when they could not. Writers that write
    // each line at once have nothing to do.
    virtual bool flush() { return true; }
    virtual void close() = 0;
};

// The operations of the file layer that can fail on a real disk, and how one fails: an I/O error,
// or no space left (ENOSPC, SQLITE_FULL).
enum class FileOperation { Open, Write, Sync, Rename, Delete, Truncate };
enum class FileFault { None, Failed, Full };

// What stands at a path, the path's last component not followed when it is a link.
enum class PathKind { Missing, File, Folder, Link, Other };
// How moving a finished file into its place went.
enum class InstallResult { Installed, Exists, Failed };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual PathKind pathKind(const std::string& path) = 0;
    // Moves `from` to `to` in one step unless something already stands at `to` (then `from` is
    // left as it is and the answer is Exists): another run's file is never replaced.
    virtual InstallResult installNew(const std::string& from, const std::string& to) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    virtual std::unique_ptr<TextReader> openForReading(const std::string& path) = 0;  // null on failure
    // append=false: created or emptied; append=true: appended to, created when missing (never
    // emptied), a file whose name differs only in letter case counting as present, as file names
    // compare on Windows. Only a regular file is opened: a link, folder, FIFO or device there is
    // refused (null).
    virtual std::unique_ptr<TextWriter> openForWriting(const std::string& path, bool append) = 0;
    virtual bool copyFile(const std::string& from, const std::string& to) = 0;  // overwrites
    virtual bool deleteFile(const std::string& path) = 0;
    virtual bool fileLength(const std::string& path, std::uint64_t& length) = 0;
    virtual bool fileVersion(const std::string& path, std::string& version) = 0;
    virtual bool fileCreated(const std::string& path, DateTime& created) = 0;
    virtual std::string currentDirectory() = 0;
    virtual bool setCurrentDirectory(const std::string& path) = 0;
    // sPath + "\" + name, with the platform's separator.
    virtual std::string join(const std::string& dir, const std::string& name) = 0;
    // Asked before each operation on the database's files (`path` may be null for a file without
    // a name): a simulated platform can make it fail as a disk that fails or fills up would.
    // The real platforms let every operation go ahead.
    virtual FileFault fault(FileOperation /*op*/, const char* /*path*/) { return FileFault::None; }
};

// The names of computer objects a directory search found, in returned order (nullopt: no name).
using DirectoryNames = std::vector<std::optional<std::string>>;

// The directory (LDAP) of a domain controller.
class Directory {
public:
    virtual ~Directory() = default;
    // rootDSE defaultNamingContext of `server`, or the reason it cannot be read.
    virtual Result<std::string> defaultNamingContext(const std::string& server) = 0;
    // Every computer object under `base` in the global catalog, names in returned order (nullopt: null name).
    virtual Result<DirectoryNames> searchComputers(const std::string& server, const std::string& base) = 0;
    // A global-catalog server of the forest of `domain` (this computer's DNS domain), as the
    // platform's locator finds one; false where none is found (the primary domain controller
    // is searched then).
    virtual bool globalCatalogServer(const std::string& /*domain*/, std::string& /*server*/) { return false; }
};

// Clock, environment variables, sleeping, debug trace, message box, process start, locale.
class System {
public:
    virtual ~System() = default;
    virtual DateTime now() = 0;
    virtual bool environmentVariable(const std::string& name, std::string& value) = 0;
    // Expands %NAME% references with the platform's own call into a buffer of 260 characters;
    // false where the platform has none, and the registry reader expands through
    // environmentVariable instead.
    virtual bool expandEnvironmentStrings(const std::string& /*text*/, std::string& /*out*/) { return false; }
    virtual void sleepMs(int milliseconds) = 0;
    virtual void debugTrace(const std::string& text) = 0;
    virtual void messageBox(const std::string& text) = 0;
    // Starts `program` with `parameters` in `workingDirectory`, hidden, without waiting.
    virtual bool startProcess(const std::string& program, const std::string& parameters,
                              const std::string& workingDirectory) = 0;
    virtual const Locale& locale() = 0;
    // The text with every letter the platform's character set has a capital for upper-cased, as
    // computer names are compared and shown. UTF-8 platforms use the Latin case mapping.
    virtual std::string upperCase(const std::string& text) { return text::upperLatin(text); }
    virtual void yieldEvents() {}
};

// The operating-system services of one platform, handed to the run as one bundle. The management
// service, which is assembled from transports above this layer, reaches the run beside it.
struct Platform {
    Console& console;
    Registry& registry;
    Identity& identity;
    FileSystem& files;
    Directory& directory;
    System& system;
};

}  // namespace qv

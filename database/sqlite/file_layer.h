// The database's SQLite file layer: the engine's own, each operation first put to the platform's file layer.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace qv::database {

// A VFS registered under a name of its own that passes every call to the engine's default VFS.
// Before each open, write, sync, truncate and delete it asks `files` (FileSystem::fault), so a
// simulated platform can make the database's files fail as a failing or full disk would; on the
// real platforms that answer is always "go ahead" and the layer only passes calls on.
// Unregistered when destroyed: every connection opened through it must be closed before.
class FileLayer {
public:
    explicit FileLayer(FileSystem& files);
    ~FileLayer();
    FileLayer(const FileLayer&) = delete;
    FileLayer& operator=(const FileLayer&) = delete;
    // The name to open connections with (sqlite3_open_v2's zVfs).
    const char* name() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace qv::database

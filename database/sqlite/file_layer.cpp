// The database's SQLite file layer: a VFS over the engine's default one that asks the platform's file layer first.
#include "database/sqlite/file_layer.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace qv::database {

struct FileLayer::State {
    sqlite3_vfs vfs{};
    sqlite3_vfs* real = nullptr;
    FileSystem* files = nullptr;
    char name[40] = {};
};

namespace {

// One open file: the engine's handle, then the default VFS's own handle in the same block.
struct LayerFile {
    sqlite3_file base;
    FileSystem* files;
    const char* path;  // valid until the file is closed, as the engine promises; null for a temporary file
    sqlite3_file* real;
};
constexpr int kFileSize = (static_cast<int>(sizeof(LayerFile)) + 15) / 16 * 16;

FileLayer::State& stateOf(sqlite3_vfs* vfs) { return *static_cast<FileLayer::State*>(vfs->pAppData); }
LayerFile& fileOf(sqlite3_file* f) { return *reinterpret_cast<LayerFile*>(f); }
sqlite3_file* realOf(sqlite3_file* f) { return fileOf(f).real; }
FileFault faultOf(sqlite3_file* f, FileOperation op) { return fileOf(f).files->fault(op, fileOf(f).path); }

int layerClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int layerRead(sqlite3_file* f, void* into, int amount, sqlite3_int64 offset) {
    return realOf(f)->pMethods->xRead(realOf(f), into, amount, offset);
}
int layerWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    switch (faultOf(f, FileOperation::Write)) {
        case FileFault::None: break;
        case FileFault::Failed: return SQLITE_IOERR_WRITE;
        case FileFault::Full:
            // A full disk takes what fits of a write, then refuses the rest.
            if (amount > 1) realOf(f)->pMethods->xWrite(realOf(f), data, amount / 2, offset);
            return SQLITE_FULL;
    }
    return realOf(f)->pMethods->xWrite(realOf(f), data, amount, offset);
}
int layerTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (faultOf(f, FileOperation::Truncate) != FileFault::None) return SQLITE_IOERR_TRUNCATE;
    return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
int layerSync(sqlite3_file* f, int flags) {
    if (faultOf(f, FileOperation::Sync) != FileFault::None) return SQLITE_IOERR_FSYNC;
    return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int layerFileSize(sqlite3_file* f, sqlite3_int64* size) { return realOf(f)->pMethods->xFileSize(realOf(f), size); }
int layerLock(sqlite3_file* f, int level) { return realOf(f)->pMethods->xLock(realOf(f), level); }
int layerUnlock(sqlite3_file* f, int level) { return realOf(f)->pMethods->xUnlock(realOf(f), level); }
int layerCheckReservedLock(sqlite3_file* f, int* out) {
    return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
}
int layerFileControl(sqlite3_file* f, int op, void* arg) { return realOf(f)->pMethods->xFileControl(realOf(f), op, arg); }
int layerSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int layerDeviceCharacteristics(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int layerShmMap(sqlite3_file* f, int page, int pageSize, int extend, void volatile** out) {
    return realOf(f)->pMethods->xShmMap(realOf(f), page, pageSize, extend, out);
}
int layerShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
}
void layerShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int layerShmUnmap(sqlite3_file* f, int deleteFlag) { return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag); }
int layerFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return realOf(f)->pMethods->xFetch(realOf(f), offset, amount, out);
}
int layerUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return realOf(f)->pMethods->xUnfetch(realOf(f), offset, p);
}

// The method table of a given version: a file offers no more than the default VFS's file does.
constexpr sqlite3_io_methods methodsOfVersion(int version) {
    sqlite3_io_methods m{};
    m.iVersion = version;
    m.xClose = layerClose;
    m.xRead = layerRead;
    m.xWrite = layerWrite;
    m.xTruncate = layerTruncate;
    m.xSync = layerSync;
    m.xFileSize = layerFileSize;
    m.xLock = layerLock;
    m.xUnlock = layerUnlock;
    m.xCheckReservedLock = layerCheckReservedLock;
    m.xFileControl = layerFileControl;
    m.xSectorSize = layerSectorSize;
    m.xDeviceCharacteristics = layerDeviceCharacteristics;
    if (version >= 2) {
        m.xShmMap = layerShmMap;
        m.xShmLock = layerShmLock;
        m.xShmBarrier = layerShmBarrier;
        m.xShmUnmap = layerShmUnmap;
    }
    if (version >= 3) {
        m.xFetch = layerFetch;
        m.xUnfetch = layerUnfetch;
    }
    return m;
}
constexpr sqlite3_io_methods kMethods[] = {methodsOfVersion(1), methodsOfVersion(2), methodsOfVersion(3)};

int layerOpen(sqlite3_vfs* vfs, const char* path, sqlite3_file* f, int flags, int* outFlags) {
    FileLayer::State& state = stateOf(vfs);
    LayerFile& file = fileOf(f);
    file.base.pMethods = nullptr;
    file.files = state.files;
    file.path = path;
    file.real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kFileSize);
    file.real->pMethods = nullptr;
    if (state.files->fault(FileOperation::Open, path) != FileFault::None) return SQLITE_CANTOPEN;
    int rc = state.real->xOpen(state.real, path, file.real, flags, outFlags);
    // A handle the default VFS gave methods to is closed through them, even when the open failed.
    if (file.real->pMethods) file.base.pMethods = &kMethods[std::clamp(file.real->pMethods->iVersion, 1, 3) - 1];
    return rc;
}
int layerDelete(sqlite3_vfs* vfs, const char* path, int syncDir) {
    FileLayer::State& state = stateOf(vfs);
    if (state.files->fault(FileOperation::Delete, path) != FileFault::None) return SQLITE_IOERR_DELETE;
    return state.real->xDelete(state.real, path, syncDir);
}
int layerAccess(sqlite3_vfs* vfs, const char* path, int flags, int* out) {
    return stateOf(vfs).real->xAccess(stateOf(vfs).real, path, flags, out);
}
int layerFullPathname(sqlite3_vfs* vfs, const char* path, int size, char* out) {
    return stateOf(vfs).real->xFullPathname(stateOf(vfs).real, path, size, out);
}
void* layerDlOpen(sqlite3_vfs* vfs, const char* path) { return stateOf(vfs).real->xDlOpen(stateOf(vfs).real, path); }
void layerDlError(sqlite3_vfs* vfs, int size, char* out) { stateOf(vfs).real->xDlError(stateOf(vfs).real, size, out); }
void (*layerDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return stateOf(vfs).real->xDlSym(stateOf(vfs).real, handle, symbol);
}
void layerDlClose(sqlite3_vfs* vfs, void* handle) { stateOf(vfs).real->xDlClose(stateOf(vfs).real, handle); }
int layerRandomness(sqlite3_vfs* vfs, int size, char* out) {
    return stateOf(vfs).real->xRandomness(stateOf(vfs).real, size, out);
}
int layerSleep(sqlite3_vfs* vfs, int microseconds) { return stateOf(vfs).real->xSleep(stateOf(vfs).real, microseconds); }
int layerCurrentTime(sqlite3_vfs* vfs, double* out) { return stateOf(vfs).real->xCurrentTime(stateOf(vfs).real, out); }
int layerGetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return stateOf(vfs).real->xGetLastError(stateOf(vfs).real, size, out);
}
int layerCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
    return stateOf(vfs).real->xCurrentTimeInt64(stateOf(vfs).real, out);
}
int layerSetSystemCall(sqlite3_vfs* vfs, const char* name, sqlite3_syscall_ptr call) {
    return stateOf(vfs).real->xSetSystemCall(stateOf(vfs).real, name, call);
}
sqlite3_syscall_ptr layerGetSystemCall(sqlite3_vfs* vfs, const char* name) {
    return stateOf(vfs).real->xGetSystemCall(stateOf(vfs).real, name);
}
const char* layerNextSystemCall(sqlite3_vfs* vfs, const char* name) {
    return stateOf(vfs).real->xNextSystemCall(stateOf(vfs).real, name);
}

}  // namespace

FileLayer::FileLayer(FileSystem& files) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.files = &files;
    s.real = sqlite3_vfs_find(nullptr);
    // A name of this layer's own: several runs (tests) may hold one at the same time.
    std::snprintf(s.name, sizeof s.name, "qv-%p", static_cast<void*>(state_.get()));
    sqlite3_vfs& v = s.vfs;
    v.iVersion = std::min(s.real->iVersion, 3);
    v.szOsFile = kFileSize + s.real->szOsFile;
    v.mxPathname = s.real->mxPathname;
    v.zName = s.name;
    v.pAppData = &s;
    v.xOpen = layerOpen;
    v.xDelete = layerDelete;
    v.xAccess = layerAccess;
    v.xFullPathname = layerFullPathname;
    v.xDlOpen = layerDlOpen;
    v.xDlError = layerDlError;
    v.xDlSym = layerDlSym;
    v.xDlClose = layerDlClose;
    v.xRandomness = layerRandomness;
    v.xSleep = layerSleep;
    v.xCurrentTime = layerCurrentTime;
    v.xGetLastError = layerGetLastError;
    if (v.iVersion >= 2) v.xCurrentTimeInt64 = layerCurrentTimeInt64;
    if (v.iVersion >= 3) {
        v.xSetSystemCall = layerSetSystemCall;
        v.xGetSystemCall = layerGetSystemCall;
        v.xNextSystemCall = layerNextSystemCall;
    }
    sqlite3_vfs_register(&v, 0);
}

FileLayer::~FileLayer() { sqlite3_vfs_unregister(&state_->vfs); }

const char* FileLayer::name() const { return state_->name; }

}  // namespace qv::database

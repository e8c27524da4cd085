// A write the layer has committed is on the disk when the call returns, so that a power cut
// right after it loses nothing and damages nothing. Seen from below: the engine's file
// layer counts the syncs it is asked for.
#include "daotest.h"

#include <atomic>
#include <cstring>
#include <sqlite3.h>

namespace {

std::atomic<int> g_syncs{0};
sqlite3_vfs* g_real = nullptr;

// A file of the counting layer: its methods, then the real file's own storage.
struct CountingFile {
    sqlite3_file base;
    sqlite3_file* real;
};
sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<CountingFile*>(f)->real; }

int xClose(sqlite3_file* f) { return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK; }
int xRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); }
int xWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) { return real(f)->pMethods->xWrite(real(f), b, n, o); }
int xTruncate(sqlite3_file* f, sqlite3_int64 s) { return real(f)->pMethods->xTruncate(real(f), s); }
int xSync(sqlite3_file* f, int flags) {
    ++g_syncs;
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return real(f)->pMethods->xFileSize(real(f), s); }
int xLock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); }
int xFileControl(sqlite3_file* f, int op, void* a) { return real(f)->pMethods->xFileControl(real(f), op, a); }
int xSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
int xShmMap(sqlite3_file* f, int p, int s, int e, void volatile** m) {
    return real(f)->pMethods->xShmMap(real(f), p, s, e, m);
}
int xShmLock(sqlite3_file* f, int o, int n, int fl) { return real(f)->pMethods->xShmLock(real(f), o, n, fl); }
void xShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
int xShmUnmap(sqlite3_file* f, int d) { return real(f)->pMethods->xShmUnmap(real(f), d); }

const sqlite3_io_methods kMethods = {
    2, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock, xCheckReservedLock,
    xFileControl, xSectorSize, xDeviceCharacteristics, xShmMap, xShmLock, xShmBarrier, xShmUnmap,
    nullptr, nullptr,
};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    auto* c = reinterpret_cast<CountingFile*>(f);
    c->real = reinterpret_cast<sqlite3_file*>(c + 1);
    std::memset(c->real, 0, g_real->szOsFile);
    c->base.pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, c->real, flags, outFlags);
    if (c->real->pMethods) c->base.pMethods = &kMethods;  // closed through us whenever it opened
    return rc;
}

// The counting layer as the engine's default while it lives.
class SyncCounter {
public:
    SyncCounter() {
        g_real = sqlite3_vfs_find(nullptr);
        m_vfs = *g_real;
        m_vfs.zName = "kelb-counting";
        m_vfs.szOsFile = static_cast<int>(sizeof(CountingFile)) + g_real->szOsFile;
        m_vfs.xOpen = xOpen;
        m_vfs.pAppData = nullptr;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~SyncCounter() { sqlite3_vfs_unregister(&m_vfs); sqlite3_vfs_register(g_real, 1); }
    int syncs() const { return g_syncs; }

private:
    sqlite3_vfs m_vfs;
};

}  // namespace

TEST_F(DaoTest, EveryCommittedWriteIsSyncedToTheDiskBeforeItReturns) {
    SyncCounter counter;  // before any file is opened, gone after every one is closed
    auto db = dbWithRows({"Alpha", "Beta"});
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM t ORDER BY id"));
    const struct {
        const char* name;
        std::function<void()> write;
    } writes[] = {
        {"statement", [&] { db->Execute(QStringLiteral("UPDATE t SET n = 7 WHERE id = 1")); }},
        {"edited row", [&] { rs->Edit(); rs->SetValue(QStringLiteral("name"), QStringLiteral("Gamma")); rs->Update(); }},
        {"new row", [&] { rs->AddNew(); rs->SetValue(QStringLiteral("id"), 3); rs->Update(); }},
        {"deleted row", [&] { rs->MoveFirst(); rs->Delete(); }},
    };
    for (const auto& w : writes) {
        const int before = counter.syncs();
        w.write();
        EXPECT_GT(counter.syncs(), before) << w.name;
    }
    rs.reset();
    db.reset();
}

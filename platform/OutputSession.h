#pragma once

// How new files reach their names in one folder, on every file system a user
// may write to: local Linux file systems, exFAT and FAT (names compared
// without letter case, no hard links), network shares.
//
// A file is written under a temporary and gets its name only when complete.
// Whether the name is free is asked of the file system in the one call that
// takes it, never judged beforehand: linking an unnamed temporary
// (O_TMPFILE), a rename that never replaces, a hard link, or, where none of
// those works, an exclusive create of the name and a rename onto it. Which
// of them a folder offers is learnt from what the calls answer.
//
// Temporaries with a name are ".pelmora-<run>-<n>.part", next to a mark
// ".pelmora-<run>.run" that the run keeps locked while it works and in which
// it notes the names it claims by exclusive create. The next run into the
// folder removes what a run that is gone left there.

#include "platform/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <mutex>

class OutputSession {
  public:
    explicit OutputSession(QString folder);
    // Removes the run's mark; every temporary must be gone by then.
    ~OutputSession();
    OutputSession(const OutputSession&) = delete;
    OutputSession& operator=(const OutputSession&) = delete;

    const QString& Folder() const { return folder_; }

    // Removes the temporaries, and the claimed names never filled, of runs
    // into this folder that are gone; a run still at work keeps its files.
    // Returns the number of entries removed.
    int RemoveLeftovers();

    // Writes what the folder's file system holds in memory to its disk.
    Status SyncFileSystem();

    // The ways of taking a name besides the exclusive create, which is always
    // there. A way the file system refuses is dropped for the session.
    enum Way : unsigned {
        kUnnamedTemporary = 1U,
        kRenameNoReplace = 2U,
        kHardLink = 4U,
        kAllWays = 7U,
    };
    unsigned Ways() const { return ways_.load(); }
    // Keeps only `ways` (tests reach every way on any disk with it).
    void LimitWays(unsigned ways) { ways_.fetch_and(ways); }

    // A file being written in the folder.
    struct Temporary {
        std::FILE* stream = nullptr;
        QString path;  // empty while the file has no name
    };
    // An unnamed temporary where `unnamed` and the file system allow, else a
    // named one. False with `error` when the folder takes no new file.
    bool OpenTemporary(bool unnamed, Temporary& temporary, QString& error);

    // Flushes the data (and with `durable` puts it on the disk); closes a
    // named temporary. False with `error` on a write error.
    bool Finish(Temporary& temporary, bool durable, QString& error);

    enum class Claim { kClaimed, kTaken, kFailed };
    // Gives the finished temporary the name `path` unless an entry holds that
    // name in any spelling the file system takes for the same. kClaimed uses
    // the temporary up; otherwise it stays for another try or Discard.
    Claim ClaimName(Temporary& temporary, const QString& path, QString& error);
    // Gives the finished temporary the name `path`, replacing what is there.
    bool ReplaceName(Temporary& temporary, const QString& path, bool durable, QString& error);
    void Discard(Temporary& temporary);

  private:
    bool EnsureMark(QString& error);
    bool Note(const char* what, const QString& path);
    void KeepMarkFresh();
    bool OpenNamedTemporary(Temporary& temporary, QString& error);
    bool NameTemporary(Temporary& temporary, QString& error);
    Claim ClaimByExclusiveCreate(Temporary& temporary, const QString& path, QString& error);
    int RemoveRunIfGone(const QString& markName, const QString& runId, const QStringList& parts);

    QString folder_;
    QString runId_;
    std::atomic<unsigned> ways_{kAllWays};
    std::atomic<unsigned> nextTemporary_{0};
    std::atomic<long long> markTouched_{0};
    std::mutex markLock_;
    QString markPath_;
#ifdef Q_OS_WIN
    void* mark_ = nullptr;
#else
    int mark_ = -1;
#endif
};

#pragma once

// Marks a running copy of a program for the user, so that a second copy can
// see it and step aside. A lock file in the user's runtime folder is the
// mark; a lock left behind by a copy that died is taken over, so a crash
// never blocks the program. The first copy can also listen for a second
// copy's request to bring its window to the front.

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

class CInstanceMarker {
  public:
    explicit CInstanceMarker(const QString& name);
    ~CInstanceMarker();
    CInstanceMarker(const CInstanceMarker&) = delete;
    CInstanceMarker& operator=(const CInstanceMarker&) = delete;

    enum class Result { kAcquired, kAlreadyRunning, kFailed };
    // Never waits for the other copy.
    Result Acquire();
    // Gives the mark up (also done by the destructor).
    void Release();
    bool IsHeld() const { return lock_.isLocked(); }

    // While the mark is held: calls `onRequest` (on this thread, from the
    // event loop) whenever another copy asks to be shown the running one.
    bool ListenForRaise(std::function<void()> onRequest);
    // Asks the copy holding the mark `name` to raise its window. False when
    // no copy listens (it may not have got that far yet).
    static bool AskToRaise(const QString& name, int timeoutMs = 2000);

    // The lock file and the local socket that belong to `name`.
    static QString LockPath(const QString& name);
    static QString ServerName(const QString& name);

  private:
    QString name_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

#pragma once

// A file system of its own for one test, mounted in a fresh folder: exFAT
// through FUSE on a loop device (names compared without letter case, no hard
// links), or a small tmpfs that a test can fill. It is unmounted, its loop
// device let go and its folder removed when the object goes, and also when
// the test process dies in any way: a watchdog in a session of its own waits
// for the process's end.

#include <QString>

#include <sys/types.h>

class ScratchDisk {
  public:
    enum class Kind { kExfat, kTmpfs };
    ScratchDisk(Kind kind, long long bytes);
    ~ScratchDisk();
    ScratchDisk(const ScratchDisk&) = delete;
    ScratchDisk& operator=(const ScratchDisk&) = delete;

    bool Mounted() const { return mounted_; }
    // Why nothing is mounted when this machine cannot mount it (no root, no
    // FUSE, no loop devices); empty otherwise.
    const QString& SkipReason() const { return skipReason_; }
    // Why nothing is mounted when it should have been.
    const QString& Error() const { return error_; }
    // The mounted file system's root.
    const QString& Path() const { return mountPoint_; }

  private:
    bool StartWatchdog();
    bool Mount(Kind kind, long long bytes);

    QString base_;
    QString mountPoint_;
    QString skipReason_;
    QString error_;
    bool mounted_ = false;
    int watchdogPipe_ = -1;
    pid_t watchdog_ = -1;
};

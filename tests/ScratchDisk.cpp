#include "ScratchDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Outcome {
    bool started = false;
    int exitCode = -1;
    QString output;
};

Outcome Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Outcome outcome;
    outcome.started = process.waitForStarted(10000);
    if (!outcome.started)
        return outcome;
    process.waitForFinished(60000);
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return outcome;
}

// Unmounts, lazily when the file system is still busy.
void Unmount(const QString& mountPoint) {
    if (Run(QStringLiteral("umount"), {mountPoint}).exitCode != 0)
        Run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
}

}  // namespace

ScratchDisk::ScratchDisk(Kind kind, long long bytes) {
    if (geteuid() != 0) {
        skipReason_ = QStringLiteral("mounting a file system needs root");
        return;
    }
    if (kind == Kind::kExfat && !QFileInfo::exists(QStringLiteral("/dev/fuse"))) {
        skipReason_ = QStringLiteral("this machine has no FUSE (/dev/fuse)");
        return;
    }
    if (kind == Kind::kExfat && !QFileInfo::exists(QStringLiteral("/dev/loop-control"))) {
        skipReason_ = QStringLiteral("this machine has no loop devices (/dev/loop-control)");
        return;
    }
    QTemporaryDir base(QDir::tempPath() + QStringLiteral("/pelmora-disk-XXXXXX"));
    if (!base.isValid()) {
        error_ = QStringLiteral("cannot make a folder: %1").arg(base.errorString());
        return;
    }
    base.setAutoRemove(false);
    base_ = base.path();
    mountPoint_ = base_ + QStringLiteral("/mnt");
    QDir(base_).mkdir(QStringLiteral("mnt"));
    if (!StartWatchdog()) {
        QDir(base_).removeRecursively();
        return;
    }
    mounted_ = Mount(kind, bytes);
}

ScratchDisk::~ScratchDisk() {
    if (mounted_)
        Unmount(mountPoint_);
    if (watchdog_ > 0) {
        ::close(watchdogPipe_);  // the watchdog removes the folder and ends
        int status = 0;
        ::waitpid(watchdog_, &status, 0);
    }
}

bool ScratchDisk::StartWatchdog() {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        error_ = QStringLiteral("no pipe for the watchdog");
        return false;
    }
    const QByteArray mountPoint = QFile::encodeName(mountPoint_);
    const QByteArray base = QFile::encodeName(base_);
    watchdog_ = ::fork();
    if (watchdog_ == 0) {
        // Its own session: a test runner that ends the test's process group
        // does not end the clean-up with it.
        ::setsid();
        ::dup2(pipe[0], STDIN_FILENO);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        ::execl("/bin/sh", "sh", "-c",
                "cat >/dev/null; umount \"$1\" || umount -l \"$1\"; rm -rf \"$2\"", "sh",
                mountPoint.constData(), base.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipe[0]);
    if (watchdog_ < 0) {
        ::close(pipe[1]);
        error_ = QStringLiteral("cannot start the watchdog");
        return false;
    }
    watchdogPipe_ = pipe[1];
    return true;
}

bool ScratchDisk::Mount(Kind kind, long long bytes) {
    Outcome mounted;
    if (kind == Kind::kTmpfs) {
        mounted = Run(QStringLiteral("mount"),
                      {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                       QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), mountPoint_});
    } else {
        const QString image = base_ + QStringLiteral("/exfat.img");
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes)) {
            error_ = QStringLiteral("cannot make %1").arg(image);
            return false;
        }
        file.close();
        const Outcome made = Run(QStringLiteral("mkfs.exfat"), {image});
        if (!made.started || made.exitCode != 0) {
            error_ = QStringLiteral("mkfs.exfat failed (exfatprogs, tools/install-deps.sh): %1")
                         .arg(made.output);
            return false;
        }
        // "-o loop" lets the loop device go by itself once it is unmounted.
        mounted = Run(QStringLiteral("mount"),
                      {QStringLiteral("-t"), QStringLiteral("exfat-fuse"), QStringLiteral("-o"),
                       QStringLiteral("loop"), image, mountPoint_});
        if (mounted.exitCode != 0 && mounted.output.contains(QStringLiteral("loop device"))) {
            skipReason_ = QStringLiteral("no loop device could be set up: %1").arg(mounted.output);
            return false;
        }
    }
    if (!mounted.started || mounted.exitCode != 0) {
        error_ = QStringLiteral("mount failed (exfat-fuse, tools/install-deps.sh): %1")
                     .arg(mounted.output);
        return false;
    }
    return true;
}

#include "platform/OutputSession.h"

#include "platform/NativeFile.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A mark whose lock cannot speak for its run (a run of another machine or
// boot, or a share without locks) counts as gone only after this long
// untouched; a working run touches its mark every minute.
constexpr long long kStaleSeconds = 3600;
constexpr long long kTouchSeconds = 60;
constexpr qint64 kLongestMark = 64LL << 20;

QString SystemErrorText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

long long SteadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// This boot of this machine: a lock taken here answers for the runs of it.
const QByteArray& BootId() {
    static const QByteArray id = [] {
        QByteArray text = QSysInfo::bootUniqueId().trimmed();
        if (text.isEmpty())
            text = QSysInfo::machineHostName().toUtf8();
        return text;
    }();
    return id;
}

QString Child(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))
               ? folder + name
               : folder + QLatin1Char('/') + name;
}

QString MarkName(const QString& runId) {
    return QStringLiteral(".pelmora-%1.run").arg(runId);
}

QString TemporaryName(const QString& runId, unsigned number) {
    return QStringLiteral(".pelmora-%1-%2.part").arg(runId).arg(number);
}

bool IsOlderThan(const QString& path, long long seconds) {
    const QFileInfo info(path);
    const QDateTime modified = info.fileTime(QFileDevice::FileModificationTime);
    return modified.isValid() && modified.secsTo(QDateTime::currentDateTimeUtc()) > seconds;
}

#ifndef Q_OS_WIN

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool SameEntry(const QByteArray& first, const QByteArray& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(first.constData(), &a) == 0 && ::stat(second.constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SyncFolder(const QString& folder, QString& error) {
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("cannot open %1: %2").arg(folder, SystemErrorText(errno));
        return false;
    }
    // Some file systems cannot flush a folder on its own; they answer EINVAL.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    if (!synced)
        error = QStringLiteral("cannot flush %1: %2").arg(folder, SystemErrorText(errno));
    ::close(fd);
    return synced;
}

// The answers by which a file system says it lacks a way of naming a file.
bool Unsupported(int code) {
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP ||
           code == EPERM || code == EXDEV;
}

#endif

}  // namespace

OutputSession::OutputSession(QString folder)
    : folder_(std::move(folder)),
      // From the system: a forked process must not draw the same run as its parent.
      runId_(QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), 16, 16,
                                      QLatin1Char('0'))) {}

OutputSession::~OutputSession() {
#ifdef Q_OS_WIN
    if (mark_ != nullptr) {
        std::fclose(static_cast<std::FILE*>(mark_));
        RemoveNativeFile(markPath_);
    }
#else
    if (mark_ >= 0) {
        // Unlinked before the lock goes, so no other run sees it unlocked.
        ::unlink(Native(markPath_).constData());
        ::close(mark_);
    }
#endif
}

bool OutputSession::EnsureMark(QString& error) {
    const std::lock_guard<std::mutex> guard(markLock_);
    const QString path = Child(folder_, MarkName(runId_));
#ifdef Q_OS_WIN
    if (mark_ != nullptr)
        return true;
    // Held open, the mark cannot be deleted: that is what tells a working run.
    std::FILE* file = OpenCFile(path, "wbx");
    if (file == nullptr) {
        error =
            QStringLiteral("cannot create a file in %1: %2").arg(folder_, SystemErrorText(errno));
        return false;
    }
    std::fputs("pelmora run\n", file);
    std::fflush(file);
    mark_ = file;
#else
    if (mark_ >= 0)
        return true;
    const int fd =
        ::open(Native(path).constData(), O_CREAT | O_EXCL | O_RDWR | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        error =
            QStringLiteral("cannot create a file in %1: %2").arg(folder_, SystemErrorText(errno));
        return false;
    }
    // A share without locks refuses; there the mark's age speaks for the run.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    WriteAll(fd, "pelmora run\nboot " + BootId() + '\n');
    mark_ = fd;
#endif
    markPath_ = path;
    markTouched_.store(SteadySeconds());
    return true;
}

bool OutputSession::Note(const char* what, const QString& path) {
    const QByteArray line =
        QByteArray(what) + ' ' + Native(QFileInfo(path).fileName()).toPercentEncoding() + '\n';
    const std::lock_guard<std::mutex> guard(markLock_);
#ifdef Q_OS_WIN
    auto* file = static_cast<std::FILE*>(mark_);
    return file != nullptr && std::fputs(line.constData(), file) >= 0 && std::fflush(file) == 0;
#else
    return mark_ >= 0 && WriteAll(mark_, line);
#endif
}

void OutputSession::KeepMarkFresh() {
    const long long now = SteadySeconds();
    long long touched = markTouched_.load();
    if (now - touched < kTouchSeconds || !markTouched_.compare_exchange_strong(touched, now))
        return;
    const std::lock_guard<std::mutex> guard(markLock_);
#ifndef Q_OS_WIN
    if (mark_ >= 0)
        ::futimens(mark_, nullptr);
#endif
}

bool OutputSession::OpenTemporary(bool unnamed, Temporary& temporary, QString& error) {
#if defined(O_TMPFILE)
    if (unnamed && (Ways() & kUnnamedTemporary) != 0) {
        const int fd = ::open(Native(folder_).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary.stream = ::fdopen(fd, "w+b");
            temporary.path.clear();
            if (temporary.stream != nullptr)
                return true;
            ::close(fd);
        } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            ways_.fetch_and(~static_cast<unsigned>(kUnnamedTemporary));
        }
    }
#else
    Q_UNUSED(unnamed);
#endif
    return OpenNamedTemporary(temporary, error);
}

bool OutputSession::OpenNamedTemporary(Temporary& temporary, QString& error) {
    if (!EnsureMark(error))
        return false;
    int code = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = Child(folder_, TemporaryName(runId_, nextTemporary_.fetch_add(1)));
        temporary.stream = OpenCFile(path, "w+bx");
        if (temporary.stream != nullptr) {
            temporary.path = path;
            KeepMarkFresh();
            return true;
        }
        code = errno;
        if (code != EEXIST)
            break;
    }
    error = QStringLiteral("cannot create a file in %1: %2").arg(folder_, SystemErrorText(code));
    return false;
}

bool OutputSession::Finish(Temporary& temporary, bool durable, QString& error) {
    if (temporary.stream == nullptr) {
        error = QStringLiteral("write error: the file is closed");
        return false;
    }
    // fclose succeeds after a failed fflush, so the flush is checked itself.
    bool ok = std::fflush(temporary.stream) == 0 && std::ferror(temporary.stream) == 0;
    int code = errno;
#ifdef Q_OS_WIN
    if (ok && durable && _commit(_fileno(temporary.stream)) != 0) {
#else
    if (ok && durable && ::fsync(::fileno(temporary.stream)) != 0) {
#endif
        ok = false;
        code = errno;
    }
    // A named file is closed now, because a share may report write errors only
    // then; an unnamed one stays open until it has a name.
    if (!temporary.path.isEmpty()) {
        const bool closed = std::fclose(temporary.stream) == 0;
        temporary.stream = nullptr;
        if (ok && !closed) {
            ok = false;
            code = errno;
        }
    }
    if (!ok)
        error = QStringLiteral("write error: %1").arg(SystemErrorText(code));
    return ok;
}

// Copies an unnamed temporary into a named one, for folders that cannot
// give an unnamed file a name.
bool OutputSession::NameTemporary(Temporary& temporary, QString& error) {
    Temporary named;
    if (!OpenNamedTemporary(named, error))
        return false;
    std::FILE* unnamed = temporary.stream;
    std::rewind(unnamed);
    char buffer[65536];
    bool copied = true;
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, unnamed);
        if (n > 0 && std::fwrite(buffer, 1, n, named.stream) != n)
            copied = false;
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(unnamed) != 0)
        copied = false;
    if (!copied || !Finish(named, false, error)) {
        if (error.isEmpty())
            error = QStringLiteral("write error: %1").arg(SystemErrorText(errno));
        Discard(named);
        return false;
    }
    std::fclose(unnamed);
    temporary = named;
    return true;
}

OutputSession::Claim OutputSession::ClaimName(Temporary& temporary, const QString& path,
                                              QString& error) {
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(temporary.path.utf16()),
                    reinterpret_cast<const wchar_t*>(path.utf16()), 0)) {
        temporary.path.clear();
        return Claim::kClaimed;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return Claim::kTaken;
    error = QStringLiteral("cannot create %1").arg(path);
    return Claim::kFailed;
#else
    const QByteArray target = Native(path);
    if (temporary.path.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(::fileno(temporary.stream));
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) ==
            0) {
            std::fclose(temporary.stream);
            temporary.stream = nullptr;
            return Claim::kClaimed;
        }
        const int code = errno;
        if (code == EEXIST)
            return Claim::kTaken;
        if (code != ENOENT && !Unsupported(code)) {
            error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(code));
            return Claim::kFailed;
        }
        ways_.fetch_and(~static_cast<unsigned>(kUnnamedTemporary));
        if (!NameTemporary(temporary, error))
            return Claim::kFailed;
    }
    KeepMarkFresh();
    const QByteArray source = Native(temporary.path);
#ifdef RENAME_NOREPLACE
    if ((Ways() & kRenameNoReplace) != 0) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0) {
            temporary.path.clear();
            return Claim::kClaimed;
        }
        const int code = errno;
        if (code == EEXIST)
            return Claim::kTaken;
        if (!Unsupported(code)) {
            error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(code));
            return Claim::kFailed;
        }
        ways_.fetch_and(~static_cast<unsigned>(kRenameNoReplace));
    }
#endif
    if ((Ways() & kHardLink) != 0) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            temporary.path.clear();
            return Claim::kClaimed;
        }
        const int code = errno;
        // A share may answer a retried link that had worked with EEXIST.
        if (code == EEXIST && SameEntry(source, target)) {
            ::unlink(source.constData());
            temporary.path.clear();
            return Claim::kClaimed;
        }
        if (code == EEXIST)
            return Claim::kTaken;
        if (!Unsupported(code) && code != EMLINK) {
            error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(code));
            return Claim::kFailed;
        }
        ways_.fetch_and(~static_cast<unsigned>(kHardLink));
    }
    return ClaimByExclusiveCreate(temporary, path, error);
#endif
}

OutputSession::Claim OutputSession::ClaimByExclusiveCreate(Temporary& temporary,
                                                           const QString& path, QString& error) {
#ifdef Q_OS_WIN
    Q_UNUSED(temporary);
    error = QStringLiteral("cannot create %1").arg(path);
    return Claim::kFailed;
#else
    const QByteArray target = Native(path);
    // Noted first: a run killed between the create and the rename leaves an
    // empty file that the next run must be able to tell as its own.
    if (!Note("claim", path)) {
        error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(errno));
        return Claim::kFailed;
    }
    const int fd = ::open(target.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        Note("lost", path);
        if (code == EEXIST)
            return Claim::kTaken;
        error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(code));
        return Claim::kFailed;
    }
    ::close(fd);
    // The name is the run's now; the complete file takes the empty one's place.
    if (::rename(Native(temporary.path).constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(target.constData());
        Note("lost", path);
        error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(code));
        return Claim::kFailed;
    }
    temporary.path.clear();
    return Claim::kClaimed;
#endif
}

bool OutputSession::ReplaceName(Temporary& temporary, const QString& path, bool durable,
                                QString& error) {
    if (temporary.path.isEmpty() && !NameTemporary(temporary, error))
        return false;
#ifdef Q_OS_WIN
    const bool moved = MoveFileExW(reinterpret_cast<const wchar_t*>(temporary.path.utf16()),
                                   reinterpret_cast<const wchar_t*>(path.utf16()),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) {
        error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    temporary.path.clear();
    Q_UNUSED(durable);
    return true;
#else
    if (::rename(Native(temporary.path).constData(), Native(path).constData()) != 0) {
        error = QStringLiteral("cannot create %1: %2").arg(path, SystemErrorText(errno));
        return false;
    }
    temporary.path.clear();
    return !durable || SyncFolder(QFileInfo(path).absolutePath(), error);
#endif
}

void OutputSession::Discard(Temporary& temporary) {
    if (temporary.stream != nullptr) {
        std::fclose(temporary.stream);
        temporary.stream = nullptr;
    }
    if (!temporary.path.isEmpty()) {
        RemoveNativeFile(temporary.path);
        temporary.path.clear();
    }
}

Status OutputSession::SyncFileSystem() {
#if defined(Q_OS_LINUX)
    const int fd = ::open(Native(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::syncfs(fd) == 0;
    const int code = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced) {
        return Status::Failure(
            QStringLiteral("cannot flush %1 to its disk: %2").arg(folder_, SystemErrorText(code)));
    }
    return {};
#elif defined(Q_OS_WIN)
    // Each file was moved with MOVEFILE_WRITE_THROUGH; the volume cannot be
    // flushed without administrator rights.
    return {};
#else
    ::sync();
    return {};
#endif
}

int OutputSession::RemoveLeftovers() {
    static const QRegularExpression markPattern(
        QStringLiteral("^\\.pelmora-([0-9a-f]{16})\\.run$"));
    static const QRegularExpression partPattern(
        QStringLiteral("^\\.pelmora-([0-9a-f]{16})(-[0-9]+)?\\.part$"));
    QStringList marks;
    QStringList parts;
    QDirIterator entries(folder_, {QStringLiteral(".pelmora-*")},
                         QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        const QString name = entries.nextFileInfo().fileName();
        if (markPattern.match(name).hasMatch())
            marks.append(name);
        if (partPattern.match(name).hasMatch())
            parts.append(name);
    }
    int removed = 0;
    QSet<QString> runsWithMark;
    for (const QString& mark : marks) {
        const QString runId = markPattern.match(mark).captured(1);
        runsWithMark.insert(runId);
        if (runId != runId_)
            removed += RemoveRunIfGone(mark, runId, parts);
    }
    // A temporary without a mark is from an earlier version or from a clean-up
    // cut short; one that has not changed for long belongs to nothing at work.
    for (const QString& part : parts) {
        const QString runId = partPattern.match(part).captured(1);
        const QString path = Child(folder_, part);
        if (!runsWithMark.contains(runId) && IsOlderThan(path, kStaleSeconds) &&
            RemoveNativeFile(path)) {
            ++removed;
        }
    }
    return removed;
}

int OutputSession::RemoveRunIfGone(const QString& markName, const QString& runId,
                                   const QStringList& parts) {
    const QString markPath = Child(folder_, markName);
    QSet<QString> claimed;
#ifdef Q_OS_WIN
    // A working run holds its mark open, which keeps it from being deleted.
    if (!RemoveNativeFile(markPath))
        return 0;
#else
    const int fd = ::open(Native(markPath).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool atWork = !locked && errno == EWOULDBLOCK;
    QFile file;
    QByteArray content;
    if (!atWork && file.open(fd, QIODevice::ReadOnly))
        content = file.read(kLongestMark);
    QByteArray boot;
    for (const QByteArray& line : content.split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            continue;
        const QByteArray word = line.left(space);
        const QByteArray value = line.mid(space + 1);
        if (word == "boot")
            boot = value;
        const QString name = QFile::decodeName(QByteArray::fromPercentEncoding(value));
        if (word == "claim")
            claimed.insert(name);
        if (word == "lost")
            claimed.remove(name);
    }
    struct stat status {};
    const bool stale = ::fstat(fd, &status) == 0 &&
                       static_cast<long long>(std::time(nullptr)) - status.st_mtime > kStaleSeconds;
    // A run writes its header first thing after creating its mark; one
    // without it ended before it had anything to note.
    const bool unwritten = boot.isEmpty();
    const bool gone = !atWork && (unwritten || (locked && boot == BootId()) || stale);
    if (gone)
        ::unlink(Native(markPath).constData());
    ::close(fd);
    if (!gone)
        return 0;
#endif
    int removed = 1;
    for (const QString& name : claimed) {
        // Only a name the run took and never filled: an empty file.
        const QFileInfo info(Child(folder_, name));
        if (info.isFile() && !info.isSymLink() && info.size() == 0 &&
            RemoveNativeFile(info.filePath())) {
            ++removed;
        }
    }
    const QString prefix = QStringLiteral(".pelmora-%1-").arg(runId);
    for (const QString& part : parts) {
        if (part.startsWith(prefix) && RemoveNativeFile(Child(folder_, part)))
            ++removed;
    }
    return removed;
}

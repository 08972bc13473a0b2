#include "platform/AtomicOutputFile.h"

#include "platform/NativeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QString SystemErrorText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

bool RenameReplacing(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                       reinterpret_cast<const wchar_t*>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) ==
           0;
#endif
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(QString finalPath) : finalPath_(std::move(finalPath)) {}

AtomicOutputFile::~AtomicOutputFile() { Discard(); }

bool AtomicOutputFile::Open() {
    const QString folder = QFileInfo(finalPath_).absolutePath();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral("/.pelmora-%1.part")
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16,
                                      QLatin1Char('0'));
        tempPath_ = folder + name;
        stream_ = OpenCFile(tempPath_, "wbx");
        if (stream_ != nullptr) return true;
        if (errno != EEXIST) break;
    }
    error_ = QStringLiteral("cannot create a file in %1: %2").arg(folder, SystemErrorText(errno));
    tempPath_.clear();
    return false;
}

bool AtomicOutputFile::CloseStream() {
    if (stream_ == nullptr) return true;
    const bool flushed = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!flushed || !closed) {
        error_ = QStringLiteral("write error: %1").arg(SystemErrorText(flushed ? errno : flushError));
        return false;
    }
    return true;
}

bool AtomicOutputFile::Commit(Existing existing) {
    if (tempPath_.isEmpty() || committed_) return false;
    if (!CloseStream()) {
        Discard();
        return false;
    }
    const bool moved = existing == Existing::kReplace ? RenameReplacing(tempPath_, finalPath_)
                                                      : QFile::rename(tempPath_, finalPath_);
    if (!moved) {
        error_ = existing == Existing::kKeep && QFileInfo::exists(finalPath_)
                     ? QStringLiteral("%1 already exists").arg(finalPath_)
                     : QStringLiteral("cannot create %1").arg(finalPath_);
        Discard();
        return false;
    }
    committed_ = true;
    tempPath_.clear();
    return true;
}

void AtomicOutputFile::Discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!committed_ && !tempPath_.isEmpty()) {
        RemoveNativeFile(tempPath_);
        tempPath_.clear();
    }
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    AtomicOutputFile output(path);
    const auto size = static_cast<std::size_t>(data.size());
    const bool written = output.Open() &&
                         std::fwrite(data.constData(), 1, size, output.Stream()) == size &&
                         output.Commit(AtomicOutputFile::Existing::kReplace);
    if (!written && error != nullptr) *error = output.ErrorText();
    return written;
}

#include "platform/PathUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

bool IsPathSeparator(QChar character) {
#ifdef Q_OS_WIN
    return character == u'\\' || character == u'/';
#else
    return character == u'/';
#endif
}

namespace {

// Index where the last component starts.
qsizetype LastComponentStart(const QString& path) {
    for (qsizetype i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1]))
            return i;
    }
    return 0;
}

// Index of the extension's dot, or -1 when the last component has none.
qsizetype ExtensionStart(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= LastComponentStart(path) ? dot : -1;
}

}  // namespace

void GetModuleFolder(QString& folder) {
    QString dir;
    if (QCoreApplication::instance() != nullptr) {
        dir = QCoreApplication::applicationDirPath();
    } else {
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        dir = QFileInfo(dir).absolutePath();
    }
    folder = QDir::toNativeSeparators(dir);
    if (folder.isEmpty() || !IsPathSeparator(folder.back()))
        folder += QDir::separator();
}

QByteArray ToAnsi(const QString& text) {
    return text.toLocal8Bit();
}

void GetPathExtension(const QString& path, QString& extension) {
    if (path.isEmpty())
        return;
    const qsizetype dot = ExtensionStart(path);
    extension = dot < 0 ? QString() : path.mid(dot);
}

void RemovePathExtension(const QString& path, QString& withoutExtension) {
    if (path.isEmpty())
        return;
    const qsizetype dot = ExtensionStart(path);
    withoutExtension = dot < 0 ? path : path.left(dot);
}

void GetPathFileName(const QString& path, QString& fileName) {
    if (path.isEmpty())
        return;
    fileName = path.mid(LastComponentStart(path));
}

int GetPathKind(const QString& path) {
    if (path.isEmpty())
        return kPathNothing;
    QString probe = path;
    if (probe.size() > 1 && IsPathSeparator(probe.back()))
        probe.chop(1);
    const QFileInfo info(probe);
    // A dangling link still occupies its name.
    if (!info.exists() && !info.isSymLink())
        return kPathNothing;
    return info.isDir() ? kPathFolder : kPathFile;
}

void MakeUniquePath(QString& path, const PathTakenTest& isTaken) {
    const auto taken = [&isTaken](const QString& candidate) {
        return isTaken ? isTaken(candidate) : GetPathKind(candidate) != kPathNothing;
    };
    if (!taken(path))
        return;
    QString extension;
    QString stem = path;
    GetPathExtension(path, extension);
    RemovePathExtension(path, stem);
    for (quint64 n = 0;; ++n) {
        QString candidate = stem + u'_' + QString::number(n) + extension;
        if (!taken(candidate)) {
            path = std::move(candidate);
            return;
        }
    }
}

QString DataFileFolder(const QString& programFolder, const QString& userDataFolder,
                       bool sharedByAllUsers) {
    const QFileInfo program(programFolder);
    if (!sharedByAllUsers && program.isDir() && program.isWritable())
        return programFolder;
    QDir().mkpath(userDataFolder);
    QString folder = QDir::toNativeSeparators(userDataFolder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

bool IsProgramFolderInstalledAs(const QString& programFolder, const QString& installDir) {
    const QString tail = QDir::cleanPath(installDir);
    if (installDir.isEmpty() || tail == QStringLiteral(".") || QDir::isAbsolutePath(tail))
        return false;
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(programFolder));
    return folder.endsWith(u'/' + tail);
}

#include "app/OutputNames.h"

#include "platform/PathUtils.h"

#include <QDir>

QString FormOutputCandidate(const QString& folder, const QString& sourcePath, int rectIndex,
                            int rectCount) {
    QString fileName;
    QString extension;
    GetPathFileName(sourcePath, fileName);
    GetPathExtension(sourcePath, extension);
    QString title = fileName;
    RemovePathExtension(fileName, title);
    const QString suffix = rectCount > 1 ? QStringLiteral("-%1").arg(rectIndex) : QString();
    return folder + QDir::separator() + title + suffix + extension;
}

QString OutputNameReserver::Reserve(QString candidate) {
    MakeUniquePath(candidate, [this](const QString& path) {
        return reserved_.contains(path) || GetPathKind(path) != kPathNothing;
    });
    reserved_.insert(candidate);
    return candidate;
}

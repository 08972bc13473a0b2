#pragma once

#include <QSet>
#include <QString>

// The batch run's candidate name: folder, separator, the source's title,
// "-<rectIndex>" when there is more than one rectangle, the source's extension
// as written.
QString FormOutputCandidate(const QString& folder, const QString& sourcePath, int rectIndex,
                            int rectCount);

// Makes candidates unique against the file system and against every name it
// has handed out before, so that pairs written in any order never collide.
class OutputNameReserver {
  public:
    QString Reserve(QString candidate);

  private:
    QSet<QString> reserved_;
};

#pragma once

#include "platform/Status.h"

#include <QString>
#include <QStringList>

#include <functional>

// Appends `path` itself when it is a file, or every file below it when it is
// a folder: depth first, each folder's entries (files and sub-folders alike)
// in name order (NameOrder), a sub-folder's files where the sub-folder was
// met. A sub-folder named exactly "_PAGE_" is
// skipped with its content, and a link back into a folder being searched is
// not followed.
//
// Fails when `path` names nothing or a folder on the way cannot be searched;
// the search then ends at once, and the files found before stay.
// `letPaintsThrough` runs after each file found and each folder searched.
struct CollectedFiles {
    Status status;
    QStringList files;
    QString unsearchable;  // the folder that could not be searched, else empty
};

CollectedFiles CollectFiles(const QString& path,
                            const std::function<void()>& letPaintsThrough = {});

// The order of names in a folder: ignoring letter case first, then with it
// (a.jpg, B.jpg, b.JPG, b.jpg, c.jpg).
bool NameOrder(const QString& a, const QString& b);

// True for names ending in ".jpg" or ".jpeg", in any letter case.
bool HasJpegExtension(const QString& path);

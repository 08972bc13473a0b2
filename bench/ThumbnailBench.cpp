// Makes the 96 x 96 thumbnail of every file named on the command line, in one
// process, the way adding photos to the collection does. Prints how many
// succeeded.
//
//   pelmora-thumbnail-bench [--jobs N] [--out DIR] PATH...
//
// Without --jobs the thumbnails are made one after another on this thread
// (MakeImageRecord per file). With --jobs N the paths go to
// ImageCollection::AddImages on N worker threads, as the collection adds a
// chosen set of photos; a folder among the paths is searched first, as adding
// a folder does (CollectFiles). --out DIR also writes each thumbnail as a JPEG
// (quality 90) for a look; that is extra work the collection never does.

#include "images/CollectFiles.h"
#include "images/ImageCollection.h"
#include "images/ImgThumb.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: pelmora-thumbnail-bench [--jobs N] [--out DIR] PATH...\n");
    return 2;
}

void Save(const CImgThumb& record, const QString& outFolder) {
    if (!outFolder.isEmpty()) {
        record.thumbnail->SaveJpeg(outFolder + "/" + QFileInfo(record.path).fileName(), 90);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QString outFolder;
    int jobs = 0;  // 0: one after another, without the collection
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outFolder = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc) {
            jobs = std::atoi(argv[++i]);
            if (jobs < 1)
                return Usage();
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return Usage();
        } else {
            paths.append(QString::fromLocal8Bit(argv[i]));
        }
    }
    if (paths.isEmpty())
        return Usage();

    int made = 0;
    int failed = 0;
    if (jobs == 0) {
        for (const QString& path : paths) {
            const std::unique_ptr<CImgThumb> record = MakeImageRecord(path);
            if (!record) {
                ++failed;
                continue;
            }
            ++made;
            Save(*record, outFolder);
        }
    } else {
        QStringList files;
        for (const QString& path : paths) {
            const CollectedFiles found = CollectFiles(path);
            if (!found.status.ok()) {
                std::fprintf(stderr, "pelmora-thumbnail-bench: cannot search %s\n",
                             qPrintable(found.unsearchable.isEmpty() ? path : found.unsearchable));
                return 1;
            }
            files += found.files;
        }
        ImageCollection collection;
        collection.AddImages(files, jobs, [&](int, AddOutcome outcome) {
            if (outcome == AddOutcome::kAdded) {
                ++made;
            } else if (outcome != AddOutcome::kNotJpegName) {
                ++failed;
            }
        });
        for (int i = 0; i < collection.Count(); ++i)
            Save(collection.At(i), outFolder);
    }
    std::printf("%d thumbnails, %d failed\n", made, failed);
    return failed == 0 ? 0 : 1;
}

// Makes the 96 x 96 thumbnail of every file named on the command line, in one
// process, the way adding photos to the collection does. Prints how many
// succeeded; with --out DIR also writes each thumbnail as a JPEG for a look.

#include "images/ImgThumb.h"

#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QString outFolder;
    int made = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outFolder = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        const QString path = QString::fromLocal8Bit(argv[i]);
        const std::unique_ptr<CImgThumb> record = MakeImageRecord(path);
        if (!record) {
            ++failed;
            continue;
        }
        ++made;
        if (!outFolder.isEmpty()) {
            record->thumbnail->SaveJpeg(outFolder + "/" + QFileInfo(path).fileName(), 90);
        }
    }
    std::printf("%d thumbnails, %d failed\n", made, failed);
    return failed == 0 ? 0 : 1;
}

// Decodes one photo the way the main view's preview does (fitted into the
// preview's box, at the smallest DCT scale that covers it) or whole, a number
// of times in one process, so process start-up weighs little:
//
//   pelmora-preview-bench [--fit WxH] [--repeat N] PATH
//
// Prints the decoded size. Exit status 1 when the photo cannot be decoded.

#include "engine/Img.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    int fitWidth = 0;
    int fitHeight = 0;
    int repeat = 1;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fit") == 0 && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &fitWidth, &fitHeight) != 2)
                return 2;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else {
            path = argv[i];
        }
    }
    if (path == nullptr || repeat < 1) {
        std::fprintf(stderr, "usage: pelmora-preview-bench [--fit WxH] [--repeat N] PATH\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(path);
    int width = 0;
    int height = 0;
    for (int i = 0; i < repeat; ++i) {
        CImg picture;
        int w = fitWidth;
        int h = fitHeight;
        const int ok = fitWidth > 0 ? picture.Load(file, w, h) : picture.Load(file);
        if (ok == 0)
            return 1;
        width = picture.GetWidth();
        height = picture.GetHeight();
    }
    std::printf("%d x %d\n", width, height);
    return 0;
}

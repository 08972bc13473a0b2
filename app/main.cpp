#include "app/PelmoraApp.h"
#include "engine/QtPictureReaders.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    SetOtherPictureReader(QtPictureReaders());
    CPelmoraApp app;
    return app.Run();
}

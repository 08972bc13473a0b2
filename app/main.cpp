#include "app/PelmoraApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CPelmoraApp app;
    return app.Run();
}

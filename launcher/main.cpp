#include "launcher/ZuredaApp.h"
#include "platform/PlatformUi.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    SetUpPlatformUi();
    CZuredaApp app;
    app.InitInstance();
    return 0;
}

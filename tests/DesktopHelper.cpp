// What the real-display tests need from a desktop besides the programs under
// test, in a few lines of Qt:
//
//   pelmora-test-desktop drag TITLE PATH...
//       A window titled TITLE; a press on it drags PATH... as file URLs, the
//       way a file manager does. Each drop action the window under the
//       pointer offers is printed ("action copy", "action ignore"), then the
//       outcome ("dropped copy", "dropped ignore"). The program stays for the
//       target to fetch the data (it asks after the drop) until it is ended,
//       or two minutes have passed.
//   pelmora-test-desktop shot FILE
//       The whole screen into FILE as a PNG.

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdio>

namespace {

const char* ActionName(Qt::DropAction action) {
    switch (action) {
        case Qt::CopyAction:
            return "copy";
        case Qt::MoveAction:
            return "move";
        case Qt::LinkAction:
            return "link";
        default:
            return "ignore";
    }
}

class DragSource : public QLabel {
  public:
    DragSource(const QString& title, const QStringList& paths) {
        setWindowTitle(title);
        setText(QStringLiteral("drag me"));
        setAlignment(Qt::AlignCenter);
        for (const QString& path : paths)
            urls_.append(QUrl::fromLocalFile(path));
        setGeometry(20, 20, 160, 100);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls(urls_);
        drag->setMimeData(data);
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            std::printf("action %s\n", ActionName(action));
            std::fflush(stdout);
        });
        const Qt::DropAction result = drag->exec(Qt::CopyAction, Qt::CopyAction);
        std::printf("dropped %s\n", ActionName(result));
        std::fflush(stdout);
        QTimer::singleShot(std::chrono::minutes(2), qApp, &QCoreApplication::quit);
    }

  private:
    QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("shot")) {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen != nullptr && screen->grabWindow(0).save(arguments[1], "PNG") ? 0 : 1;
    }
    if (arguments.size() >= 3 && arguments[0] == QStringLiteral("drag")) {
        DragSource source(arguments[1], arguments.mid(2));
        source.show();
        return QApplication::exec();
    }
    std::fputs("usage: pelmora-test-desktop drag TITLE PATH... | shot FILE\n", stderr);
    return 2;
}

#include "platform/WindowUtils.h"
#include "platform/ResourceIds.h"

#include "platform/HitTest.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

void PumpPaintMessages() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
}

std::optional<QCursor> CursorForHit(int hitCode) {
    switch (hitCode) {
        case kHitTopLeft:
        case kHitBottomRight:
            return QCursor(Qt::SizeFDiagCursor);
        case kHitTopRight:
        case kHitBottomLeft:
            return QCursor(Qt::SizeBDiagCursor);
        case kHitLeft:
        case kHitRight:
            return QCursor(Qt::SizeHorCursor);
        case kHitTop:
        case kHitBottom:
            return QCursor(Qt::SizeVerCursor);
        case kHitInside: {
            const QPixmap picture(CursorResource(cursor::kMove));
            if (picture.isNull())
                return std::nullopt;
            return QCursor(picture, kMoveCursorHotSpot.x(), kMoveCursorHotSpot.y());
        }
        default:
            return std::nullopt;
    }
}

bool RaiseWindowTitled(const QString& title) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window->windowTitle() != title)
            continue;
        window->raise();
        window->activateWindow();
        return true;
    }
    return false;
}

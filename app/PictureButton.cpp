#include "app/PictureButton.h"

#include "app/ViewColors.h"
#include "platform/ResourceIds.h"

#include <QPainter>

CPictureButton::CPictureButton(int command, const QImage& sheet, const QRect& normalCell,
                               bool caption, QWidget* parent)
    : QAbstractButton(parent),
      command_(command),
      sheet_(sheet),
      normalCell_(normalCell),
      caption_(caption) {
    setObjectName(ControlName(command));
    setFocusPolicy(Qt::NoFocus);
    resize(normalCell.size());
}

void CPictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (caption_)
        painter.fillRect(rect(), kViewBackground);
    const QRect cell = isDown() ? normalCell_.translated(0, normalCell_.height()) : normalCell_;
    painter.drawImage(QPoint(0, 0), sheet_, cell);
}

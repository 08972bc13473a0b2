#include "images/LogoWnd.h"

#include <QFile>
#include <QPainter>

std::unique_ptr<CImg> LoadLogoPicture() {
    QFile file(QString::fromLatin1(kLogoResource));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const QByteArray bytes = file.readAll();
    auto picture = std::make_unique<CImg>();
    if (picture->LoadFromMemory(bytes.size(), bytes.constData()) == 0) return nullptr;
    return picture;
}

CLogoWnd::CLogoWnd(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Nothing erases the window: without a picture it stays as it was.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void CLogoWnd::SetPicture(std::unique_ptr<CImg> picture) {
    picture_ = std::move(picture);
    update();
}

void CLogoWnd::paintEvent(QPaintEvent*) {
    if (!picture_ || picture_->IsNull()) return;
    QPainter painter(this);
    picture_->DrawPart(painter, 0, 0, width(), height(), 0, 0, picture_->GetWidth(),
                       picture_->GetHeight());
}

#include "images/LogoWnd.h"
#include "platform/ResourceIds.h"

#include <QPainter>

std::unique_ptr<CImg> LoadLogoPicture() {
    auto picture = std::make_unique<CImg>();
    if (picture->LoadFromResource(PictureResource(picture::kLogo)) == 0)
        return nullptr;
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
    if (!picture_ || picture_->IsNull())
        return;
    QPainter painter(this);
    picture_->DrawPart(painter, 0, 0, width(), height(), 0, 0, picture_->GetWidth(),
                       picture_->GetHeight());
}

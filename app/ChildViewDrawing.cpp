// The main view's pixels and mouse: caption, status line, preview, hover,
// and moving and resizing the main window by dragging the view.

#include "app/ChildView.h"

#include "app/ViewColors.h"
#include "croprects/CropCanvasGeometry.h"
#include "croprects/CropRectListBox.h"
#include "engine/DrawingUtils.h"
#include "images/ImgList.h"
#include "images/ImgThumb.h"
#include "platform/HitTest.h"
#include "platform/Language.h"
#include "platform/TextLayout.h"
#include "platform/WindowUtils.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr int kCaptionNameHeight = 14;
constexpr int kSmallTextHeight = 12;
constexpr int kStatusTop = 27;
constexpr int kFrameHandleCorner = 16;
constexpr int kFrameHandleEdge = 8;

QString VersionText(quint32 ms, quint32 ls) {
    return QStringLiteral(" Ver.%1.%2.%3.%4")
        .arg(ms >> 16)
        .arg(ms & 0xFFFF)
        .arg(ls >> 16)
        .arg(ls & 0xFFFF);
}

void DrawTextAt(QPainter& painter, const QFont& font, int x, int top, const QString& text) {
    painter.setFont(font);
    painter.drawText(x, top + QFontMetrics(font).ascent(), text);
}

}  // namespace

void CChildView::paintEvent(QPaintEvent*) {
    // Qt composes the window in its back buffer and shows it in one step.
    QPainter painter(this);
    painter.fillRect(rect(), kViewBackground);
    PaintCaption(painter);
    if (!cornerPicture_.isNull()) {
        painter.drawImage(0, height() - cornerPicture_.height(), cornerPicture_);
    }
    PaintStatus(painter);
}

void CChildView::PaintCaption(QPainter& painter) {
    const bool active = env_.appActive != nullptr && *env_.appActive;
    painter.drawImage(0, 0, active ? captionActive_ : captionInactive_);
    painter.setPen(active ? kCaptionTextActive : kCaptionTextInactive);
    const QString name = ApplicationName();
    const QFont nameFont = ProgramFont(kCaptionNameHeight, 700);
    DrawTextAt(painter, nameFont, 19, 8, name);
    const int nameWidth = QFontMetrics(nameFont).horizontalAdvance(name);
    DrawTextAt(painter, ProgramFont(kSmallTextHeight), 19 + nameWidth, 10,
               VersionText(env_.versionMS, env_.versionLS));
}

void CChildView::PaintStatus(QPainter& painter) {
    const bool japanese = IsJapaneseLanguage();
    painter.setPen(kStatusText);
    const QFont font = ProgramFont(kSmallTextHeight);
    DrawTextAt(painter, font, Nearest(width() * 0.0125), kStatusTop,
               ImageCountText(japanese, images_.Count(), imageList_->SelectedCount()));
    DrawTextAt(painter, font, Nearest(width() * 0.5125), kStatusTop,
               japanese ? QStringLiteral("切り抜く長方形の設定") : QStringLiteral("Settings"));
}

QRect CChildView::PreviewPicture() const {
    const CImg* bitmap = previewLoader_.Bitmap();
    if (bitmap == nullptr || bitmap->IsNull())
        return {};
    return PreviewPicturePlacement(preview_->size(),
                                   QSize(bitmap->GetWidth(), bitmap->GetHeight()));
}

void CChildView::DrawPreview(QPainter& painter) {
    painter.fillRect(preview_->rect(), kListBackground);
    const int current = images_.CurrentIndex();
    if (current < 0)
        return;
    const CImgThumb& image = images_.At(current);
    previewLoader_.Request(image.path, preview_->size());
    QRect drawn;
    if (const CImg* bitmap = previewLoader_.Bitmap()) {
        drawn = PreviewPicture();
        bitmap->DrawScaled(painter, drawn);
    } else if (!previewLoader_.Settled()) {
        drawn = DrawPlaceholder(painter, image);
    }
    if (!drawn.isEmpty())
        DrawRectangles(painter, image, drawn);
}

// Each rectangle's outline in its colour; in lossless mode also, dashed,
// the region a crop of the shown image writes when that differs.
void CChildView::DrawRectangles(QPainter& painter, const CImgThumb& image, const QRect& drawn) {
    const bool lossless = env_.settings == nullptr || !env_.settings->recompress;
    for (const CCropRect& rect : rects_.Rects()) {
        const PixelRect resolved = rect.Resolve(image.width, image.height);
        if (resolved.IsEmpty())
            continue;
        DrawFrame(painter, MapToPreview(resolved, image.width, drawn), 2, rect.color);
        const QSize grid = previewLoader_.Grid();
        if (!lossless || grid.isEmpty())
            continue;
        const PixelRect written = LosslessWrittenRegion(resolved, grid.width(), grid.height());
        if (written == resolved)
            continue;
        const PixelRect shown = MapToPreview(written, image.width, drawn);
        painter.setPen(QPen(ToQColor(rect.color), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(shown.left, shown.top, shown.Width() - 1, shown.Height() - 1);
    }
}

// The thumbnail enlarged where the picture will stand, while it is decoded.
QRect CChildView::DrawPlaceholder(QPainter& painter, const CImgThumb& image) {
    if (!image.thumbnail || image.thumbnail->IsNull())
        return {};
    const QRect drawn = PreviewPicturePlacement(preview_->size(), QSize(image.width, image.height));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(drawn, image.thumbnail->Image());
    return drawn;
}

int CChildView::PreviewRectangleUnder(QPoint viewPoint) const {
    const int current = images_.CurrentIndex();
    if (current < 0 || !preview_->geometry().contains(viewPoint))
        return -1;
    if (!preview_->mask().contains(viewPoint - preview_->pos()))
        return -1;
    const CImgThumb& image = images_.At(current);
    return PreviewRectangleAt(viewPoint - preview_->pos(), rects_.Rects(),
                              QSize(image.width, image.height), PreviewPicture());
}

void CChildView::resizeEvent(QResizeEvent*) {
    LayOut();
    PlaceHints();
    // The picture is scaled to the new size; a new decode waits for the end
    // of a drag, so every step of it stays cheap.
    preview_->update();
}

void CChildView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        OnCommand(kCmdClose);
    } else if (event->key() == Qt::Key_F1) {
        OnCommand(kCmdHelpPage);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// Wheel turns over the lists reach the view, which scrolls the list under
// the pointer itself.
void CChildView::wheelEvent(QWheelEvent* event) {
    const QPoint at = event->position().toPoint();
    QAbstractScrollArea* list = nullptr;
    if (imageList_->geometry().contains(at))
        list = imageList_;
    if (rectList_->geometry().contains(at))
        list = rectList_;
    if (list == nullptr)
        return;
    QScrollBar* bar = list->verticalScrollBar();
    const int notches = event->angleDelta().y() / 120;
    bar->setValue(bar->value() - notches * 3 * bar->singleStep());
}

void CChildView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    const int hit = HitTestRect(kFrameHandleCorner, at.x(), at.y(),
                                PixelRect{0, 0, width(), height()}, kFrameHandleEdge, 0);
    dragStartPointer_ = event->globalPosition().toPoint();
    dragStartFrame_ = window()->geometry();
    if (hit != kHitNothing) {
        drag_ = Drag::kResize;
        dragHit_ = hit;
        if (const auto cursor = CursorForHit(hit))
            setCursor(*cursor);
        return;
    }
    if (PreviewRectangleUnder(at) >= 0) {
        drag_ = Drag::kNone;
        OnCommand(kCmdEditRect);
        return;
    }
    drag_ = Drag::kMove;
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
    // A release that never arrived (taken by another window, or lost) must
    // not leave the window following the pointer.
    if (drag_ != Drag::kNone && !(event->buttons() & Qt::LeftButton))
        EndDrag();
    const QPoint offset = event->globalPosition().toPoint() - dragStartPointer_;
    if (drag_ == Drag::kResize) {
        window()->setGeometry(ResizedFrame(dragStartFrame_, dragHit_, offset));
        PumpPaintMessages();
        return;
    }
    if (drag_ == Drag::kMove) {
        window()->move(dragStartFrame_.topLeft() + offset);
        return;
    }
    const QPoint at = event->position().toPoint();
    const int hit = HitTestRect(kFrameHandleCorner, at.x(), at.y(),
                                PixelRect{0, 0, width(), height()}, kFrameHandleEdge, 0);
    if (const auto cursor = CursorForHit(hit); hit != kHitNothing && cursor) {
        setCursor(*cursor);
        return;
    }
    const int under = PreviewRectangleUnder(at);
    if (under >= 0) {
        setCursor(Qt::PointingHandCursor);
        rectList_->SelectRow(under);
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        EndDrag();
}

void CChildView::EndDrag() {
    const bool resized = drag_ == Drag::kResize;
    drag_ = Drag::kNone;
    if (!resized)
        return;
    setCursor(Qt::ArrowCursor);
    RefreshPreview();
    imageList_->viewport()->update();
    rectList_->viewport()->update();
    update();
}

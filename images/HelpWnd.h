#pragma once

#include "platform/ColorRef.h"
#include "platform/ResourceIds.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

// The hint cards: white, corners rounded by 4 x 4 quarter ellipses, the text
// centred as a block.
inline constexpr ColorRef kHintCardColor = MakeColorRef(255, 255, 255);
inline constexpr ColorRef kHintTextColor = MakeColorRef(64, 64, 64);
inline constexpr int kHintFontHeight = 12;
inline constexpr int kHintTextMargin = 8;
inline constexpr int kHintCornerEllipse = 4;

// The card drawn off-screen; null for an empty size.
std::unique_ptr<QImage> DrawHintCard(const QString& text, QSize size);

// A rectangle of the given size whose corners are cut by quarter ellipses of
// ellipseWidth x ellipseHeight: a pixel belongs to it when its centre lies
// inside.
QRegion RoundedRectRegion(int width, int height, int ellipseWidth, int ellipseHeight);

// A hint laid over an empty list. It never keeps the keyboard focus: focus
// given to it goes straight back to the widget that had it.
class CHelpWnd : public QWidget {
    Q_OBJECT
  public:
    // The text is string `stringId` of the program (empty when missing).
    explicit CHelpWnd(int stringId, QWidget* parent = nullptr);

    const QString& Text() const { return text_; }

    // Whether files dragged onto the card are taken (and handed on by
    // UrlsDropped): the card is a window of its own, and a hint telling the
    // user to drop files there must not refuse them. Off at first.
    void SetTakesDrops(bool takes);

  Q_SIGNALS:
    // Files were dropped on the card, in drop order.
    void UrlsDropped(const QList<QUrl>& urls);

  protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void GiveFocusBack(QWidget* previous, QWidget* now);

    QString text_;
    QPointer<QWidget> lastFocus_;  // the last widget outside the hint with the focus
};

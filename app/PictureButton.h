#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QRect>

// A push button that shows one cell of a picture sheet: the normal picture
// from the sheet's upper half, the pressed one from the cell below while the
// button is held. Caption buttons first fill their square with the view's
// background.
class CPictureButton : public QAbstractButton {
    Q_OBJECT
  public:
    // `normalCell` is the cell's place in the upper half of `sheet`.
    CPictureButton(int command, const QImage& sheet, const QRect& normalCell, bool caption,
                   QWidget* parent);

    int Command() const { return command_; }
    QSize sizeHint() const override { return normalCell_.size(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int command_;
    QImage sheet_;  // shared, not copied: QImage is implicitly shared
    QRect normalCell_;
    bool caption_;
};

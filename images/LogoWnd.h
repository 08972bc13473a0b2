#pragma once

#include "engine/Img.h"

#include <QWidget>

#include <memory>

// The start-up logo, bitmap 130, at its own size.
inline constexpr int kLogoWidth = 380;
inline constexpr int kLogoHeight = 50;

// Bitmap 130 from the program's resources; null when it is missing.
std::unique_ptr<CImg> LoadLogoPicture();

// A borderless window that shows its picture over its whole area, scaled
// with the cubic filter when the sizes differ. Without a picture it paints
// nothing at all. It takes no focus.
class CLogoWnd : public QWidget {
    Q_OBJECT
  public:
    explicit CLogoWnd(QWidget* parent = nullptr);

    void SetPicture(std::unique_ptr<CImg> picture);
    const CImg* Picture() const { return picture_.get(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::unique_ptr<CImg> picture_;
};

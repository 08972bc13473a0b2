#pragma once

// The crop settings dialog: one crop rectangle over a preview of the current
// image, its unit, the preview's scale and grid, stepping through the
// collection, and the crop mode of the whole program with its quality.

#include "croprects/CropCanvas.h"
#include "croprects/CropRect.h"

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QString>

#include <functional>

class QAbstractButton;
class QLabel;
class QWidget;

// The program's crop mode and JPEG quality, as the dialog shows and edits
// them.
struct CropModeChoice {
    bool lossless = true;
    int quality = 80;
};

class CCropRectDlg : public QDialog {
    Q_OBJECT
  public:
    // The path of the image to show, empty without one. Asked again after
    // each step, once StepRequested has returned.
    using ImageSource = std::function<QString()>;

    // `choice` is the program's mode and quality as they stand.
    CCropRectDlg(int templateId, ImageSource image, CropModeChoice choice,
                 QWidget* parent = nullptr);
    ~CCropRectDlg() override;

    // The mode and quality to keep, whatever exec() returned: the quality as
    // the quality dialog left it, the mode as OK stored it (the one given,
    // until then).
    const CropModeChoice& Choice() const { return choice_; }

    // 138 under the Japanese language rule, 1503 otherwise.
    static int LanguageTemplate();

    // The rectangle being edited: set before exec(), read after OK.
    CCropRect& Rect() { return rect_; }
    // Loads the image the source names with the next paint, from the top-left.
    void ResetPreview();
    // The image shown (or to be shown with the next paint); empty without one.
    QString ImagePath() const;

    // Refuses an invalid rectangle (message 134/135); otherwise stores the
    // crop mode and closes.
    void accept() override;

    // The preview's state, for whoever drives the dialog without a mouse.
    const CCropCanvas& Canvas() const { return canvas_; }
    CCropCanvas& Canvas() { return canvas_; }

    static constexpr int kWidthUnits = 507;
    static constexpr int kHeightUnits = 303;

  Q_SIGNALS:
    // The step buttons: 213 previous (false), 214 next (true). Connect
    // directly: the dialog reloads the preview as soon as this returns.
    void StepRequested(bool forward);

  protected:
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    enum class Drag { kNone, kHandle, kViewport };

    void BuildControls();
    void AddStepButtons();
    void WidenClippedTexts();
    void Initialise();
    void OnUnit(bool toPixel);
    void OnLossless();
    void OnActualSize(bool checked);
    void OnGrid(bool checked);
    void OnQuality();
    void OnStep(bool forward);
    void SnapToImage();
    void PaintPreview(QImage& canvas);
    void PaintNavigator(QImage& canvas);
    void UpdateReadouts();
    void RepaintFrames();
    void TrackCursor(QPoint dialogPoint);
    void DragHandle(QPoint dialogPoint);
    void DragViewport(QPoint dialogPoint);

    const int templateId_;
    const ImageSource image_;
    CropModeChoice choice_;
    CCropRect rect_;
    CCropCanvas canvas_;
    bool initialised_ = false;

    QWidget* preview_ = nullptr;    // 1002
    QWidget* navigator_ = nullptr;  // 1020
    QLabel* readouts_[4] = {};      // 1017, 1018, 1021, 1022
    QAbstractButton* pixelButton_ = nullptr;
    QAbstractButton* percentButton_ = nullptr;
    QAbstractButton* losslessButton_ = nullptr;
    QAbstractButton* recompressButton_ = nullptr;
    QAbstractButton* actualSizeBox_ = nullptr;
    QAbstractButton* gridBox_ = nullptr;
    QImage buttonImage_;  // the step buttons' faces, sheet 135

    int hitCode_ = 0;
    Drag drag_ = Drag::kNone;
    QPoint dragStart_;
    CropEdges startEdges_;
    PixelRect cursorClip_;  // preview frame coordinates
    PixelRect startViewport_;
};

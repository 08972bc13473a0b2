#include "croprects/CropRectDlg.h"

#include "croprects/QualityDlg.h"
#include "engine/Img.h"
#include "platform/DialogUnits.h"
#include "platform/HitTest.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"
#include "platform/WindowUtils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <functional>

namespace {

// An owner-drawn frame: composes its picture off screen and copies it in one
// step. Mouse input passes through to the dialog, which hit-tests it.
class CCanvasFrame : public QWidget {
  public:
    using Painter = std::function<void(QImage&)>;
    CCanvasFrame(QWidget* parent, Painter painter) : QWidget(parent), painter_(std::move(painter)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (canvas_.size() != size())
            canvas_ = QImage(size(), QImage::Format_RGB32);
        canvas_.fill(palette().color(QPalette::Window));
        painter_(canvas_);
        QPainter(this).drawImage(0, 0, canvas_);
    }

  private:
    Painter painter_;
    QImage canvas_;
};

// An image-step button with its faces cut from the step-button sheet: the left half for
// "previous", the right half for "next", the upper row normal, the lower
// pressed.
class CStepButton : public QPushButton {
  public:
    CStepButton(QWidget* parent, const QImage& sheet, bool next)
        : QPushButton(parent), sheet_(sheet), next_(next) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (sheet_.isNull()) {
            QPushButton::paintEvent(event);
            return;
        }
        const int w = sheet_.width();
        const int h = sheet_.height();
        const int s = isDown() ? 1 : 0;
        const QRect face(next_ ? w / 2 : 0, h / 2 * s, w / 2, h / 2);
        QPainter(this).drawImage(0, 0, sheet_, face.x(), face.y(), face.width(), face.height());
    }

  private:
    const QImage sheet_;
    bool next_;
};

struct Place {
    int x, y, width, height;
};

bool IsJapaneseTemplate(int templateId) {
    return templateId == dialog::kCropSettings.japanese;
}

template <typename Widget>
Widget* Add(QWidget* parent, int id, const QString& text, Place at) {
    auto* widget = new Widget(text, parent);
    widget->setObjectName(ControlName(id));
    widget->setGeometry(DialogGeometry(at.x, at.y, at.width, at.height));
    return widget;
}

// A static text without a size in the template: as wide as its text.
void AddLabel(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->adjustSize();
    label->move(DialogGeometry(x, y, 0, 0).topLeft());
}

}  // namespace

CCropRectDlg::CCropRectDlg(int templateId, ImageSource image, CropModeChoice choice,
                           QWidget* parent)
    : QDialog(parent), templateId_(templateId), image_(std::move(image)), choice_(choice) {
    setWindowTitle(DialogText(templateId, 0));
    setFont(DialogFont());
    setFixedSize(DialogGeometry(0, 0, kWidthUnits, kHeightUnits).size());
    setMouseTracking(true);
    BuildControls();
    AddStepButtons();
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setCursor(Qt::PointingHandCursor);
    }
    WidenClippedTexts();
}

// The templates' boxes were measured for the desktop's own dialog font; a
// radio button or check box whose text needs more room gets it, up to the
// next control on its right or the dialog's margin.
void CCropRectDlg::WidenClippedTexts() {
    const int margin = width() - DialogUnitsToPixelsX(7);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QPushButton*>(button) != nullptr)
            continue;
        const int wanted = button->sizeHint().width();
        if (wanted <= button->width())
            continue;
        int limit = margin;
        for (const QWidget* other : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = other->geometry();
            if (other != button && g.left() >= button->geometry().right() &&
                g.top() < button->geometry().bottom() && g.bottom() > button->geometry().top()) {
                limit = std::min(limit, g.left());
            }
        }
        button->resize(std::min(wanted, limit - button->x()), button->height());
    }
}

CCropRectDlg::~CCropRectDlg() = default;

int CCropRectDlg::LanguageTemplate() {
    return ByLanguage(dialog::kCropSettings);
}

void CCropRectDlg::BuildControls() {
    const bool ja = IsJapaneseTemplate(templateId_);
    const auto text = [this](int id) { return DialogText(templateId_, id); };

    using namespace control;
    auto* ok = Add<QPushButton>(this, kOk, text(kOk), {350, 283, 50, 14});
    auto* cancel = Add<QPushButton>(this, kCancel, text(kCancel), {429, 283, 50, 14});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CCropRectDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCropRectDlg::reject);

    preview_ = new CCanvasFrame(this, [this](QImage& canvas) { PaintPreview(canvas); });
    preview_->setObjectName(ControlName(control::kPreviewFrame));
    preview_->setGeometry(DialogGeometry(7, 7, 313, 290));

    Add<QGroupBox>(this, kUnitGroup, text(kUnitGroup), {332, 7, 168, 39});
    pixelButton_ = Add<QRadioButton>(this, kPixelUnit, text(kPixelUnit), {340, 20, 123, 8});
    percentButton_ = Add<QRadioButton>(this, kPercentUnit, text(kPercentUnit), {340, 32, 123, 8});
    Add<QGroupBox>(this, kModeGroup, text(kModeGroup), {332, 55, 168, 39});
    losslessButton_ = Add<QRadioButton>(this, kLossless, text(kLossless), {340, 69, 97, 8});
    recompressButton_ =
        Add<QRadioButton>(this, kRecompress, text(kRecompress), {340, 81, ja ? 97 : 72, 8});
    auto* qualityButton = Add<QPushButton>(this, kQualityButton, text(kQualityButton),
                                           ja ? Place{443, 79, 54, 12} : Place{424, 79, 73, 12});
    for (auto pair :
         {std::pair{pixelButton_, percentButton_}, std::pair{losslessButton_, recompressButton_}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(pair.first);
        group->addButton(pair.second);
    }
    connect(pixelButton_, &QAbstractButton::clicked, this, [this] { OnUnit(true); });
    connect(percentButton_, &QAbstractButton::clicked, this, [this] { OnUnit(false); });
    connect(losslessButton_, &QAbstractButton::clicked, this, [this] { OnLossless(); });
    // The dashed region a lossless crop writes must go from the preview.
    connect(recompressButton_, &QAbstractButton::clicked, this, [this] {
        canvas_.lossless = false;
        RepaintFrames();
    });
    connect(qualityButton, &QPushButton::clicked, this, [this] { OnQuality(); });

    const int readoutIds[4] = {kTopLeftReadout, kBottomRightReadout, kWidthReadout, kHeightReadout};
    const int labelX[4] = {334, 334, 343, 343};
    const int readoutX[4] = {ja ? 379 : 393, ja ? 379 : 393, ja ? 374 : 385, ja ? 374 : 385};
    const int readoutWidth[4] = {ja ? 105 : 98, ja ? 105 : 98, 105, 105};
    for (int i = 0; i < 4; ++i) {
        const int y = 107 + 13 * i;
        AddLabel(this, text(control::kUnnumbered + readoutIds[i]), labelX[i], y);
        readouts_[i] =
            Add<QLabel>(this, readoutIds[i], QString(), {readoutX[i], y, readoutWidth[i], 8});
    }

    actualSizeBox_ = Add<QCheckBox>(this, kActualSize, text(kActualSize), {327, 209, 65, 8});
    gridBox_ = Add<QCheckBox>(this, kGrid, text(kGrid), {327, 221, 65, 8});
    connect(actualSizeBox_, &QAbstractButton::clicked, this, [this](bool on) { OnActualSize(on); });
    connect(gridBox_, &QAbstractButton::clicked, this, [this](bool on) { OnGrid(on); });

    auto* marker = new QWidget(this);
    marker->setObjectName(ControlName(control::kStepMarker));
    marker->setGeometry(DialogGeometry(327, 235, 26, 9));
    marker->setAutoFillBackground(true);
    QPalette white = marker->palette();
    white.setColor(QPalette::Window, Qt::white);
    marker->setPalette(white);

    navigator_ = new CCanvasFrame(this, [this](QImage& canvas) { PaintNavigator(canvas); });
    navigator_->setObjectName(ControlName(control::kNavigatorFrame));
    navigator_->setGeometry(DialogGeometry(401, 169, 99, 88));
}

void CCropRectDlg::AddStepButtons() {
    CImg sheet;
    if (sheet.LoadFromResource(PictureResource(picture::kStepButtons)))
        buttonImage_ = sheet.Image();
    const int width = buttonImage_.isNull() ? 20 : buttonImage_.width() / 2;
    const int height = buttonImage_.isNull() ? 18 : buttonImage_.height() / 2;
    const QPoint at = findChild<QWidget*>(ControlName(control::kStepMarker))->pos();
    for (const bool next : {false, true}) {
        auto* button = new CStepButton(this, buttonImage_, next);
        button->setObjectName(ControlName(next ? control::kNextImage : control::kPreviousImage));
        button->setGeometry(at.x() + (next ? width : 0), at.y(), width, height);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, next] { OnStep(next); });
    }
}

// Runs when the dialog first shows, after the caller has filled the rectangle.
void CCropRectDlg::Initialise() {
    if (rect_.IsInvalid()) {
        rect_.isPixel = 1;
        SetEdges(rect_, {0, 0, 256, 256});
    }
    canvas_.lossless = choice_.lossless;
    (canvas_.lossless ? losslessButton_ : recompressButton_)->setChecked(true);
    actualSizeBox_->setChecked(canvas_.actualSize);
    gridBox_->setChecked(canvas_.showGrid);
    (rect_.isPixel != 0 ? pixelButton_ : percentButton_)->setChecked(true);
    navigator_->setVisible(canvas_.actualSize);
    UpdateReadouts();
}

void CCropRectDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        Initialise();
    }
    QDialog::showEvent(event);
}

void CCropRectDlg::ResetPreview() {
    canvas_.Reset();
    preview_->update();
    navigator_->update();
}

QString CCropRectDlg::ImagePath() const {
    return image_ ? image_() : QString();
}

void CCropRectDlg::OnUnit(bool toPixel) {
    if ((rect_.isPixel != 0) == toPixel)
        return;
    if (!ConvertUnit(rect_, toPixel, canvas_.ImageWidth(), canvas_.ImageHeight())) {
        // Without an image a percent rectangle means nothing: keep the unit.
        (rect_.isPixel != 0 ? pixelButton_ : percentButton_)->setChecked(true);
        return;
    }
    UpdateReadouts();
    RepaintFrames();
}

void CCropRectDlg::SnapToImage() {
    const int w = canvas_.ImageWidth();
    const int h = canvas_.ImageHeight();
    if (w <= 0 || h <= 0)
        return;
    const CropEdges edges = EdgesOf(rect_.Resolve(w, h));
    SetEdges(rect_,
             SnapRect(edges, canvas_.showGrid || canvas_.lossless, rect_.isPixel == 0, w, h));
}

void CCropRectDlg::OnLossless() {
    canvas_.lossless = true;
    SnapToImage();
    ResetPreview();
}

void CCropRectDlg::OnActualSize(bool checked) {
    canvas_.actualSize = checked;
    navigator_->setVisible(checked);
    ResetPreview();
}

void CCropRectDlg::OnGrid(bool checked) {
    canvas_.showGrid = checked;
    SnapToImage();
    ResetPreview();
}

void CCropRectDlg::OnQuality() {
    const int qualityTemplate =
        IsJapaneseTemplate(templateId_) ? dialog::kQuality.japanese : dialog::kQuality.english;
    CQualityDlg dialog(qualityTemplate, choice_.quality, this);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        button->setCursor(Qt::PointingHandCursor);
    }
    dialog.exec();
}

void CCropRectDlg::OnStep(bool forward) {
    Q_EMIT StepRequested(forward);
    ResetPreview();
}

void CCropRectDlg::accept() {
    if (rect_.IsInvalid()) {
        ShowNotice(this, LangString(text::kInvalidRect));
        return;
    }
    choice_.lossless = canvas_.lossless;
    QDialog::accept();
}

void CCropRectDlg::PaintPreview(QImage& canvas) {
    if (ImagePath().isEmpty() && !canvas_.HasPreview()) {
        UpdateReadouts();
        return;
    }
    canvas_.ComposePreview(canvas, ImagePath(), rect_);
    // Hidden while the image cannot be shown; back with the next one that can.
    navigator_->setVisible(canvas_.actualSize && !canvas_.PreviewFailed());
    UpdateReadouts();
}

void CCropRectDlg::PaintNavigator(QImage& canvas) {
    if (canvas_.PreviewFailed())
        return;
    canvas_.ComposeNavigator(canvas, ImagePath(), rect_);
}

void CCropRectDlg::UpdateReadouts() {
    const bool pixel = rect_.isPixel != 0;
    const PixelRect resolved = rect_.Resolve(canvas_.ImageWidth(), canvas_.ImageHeight());
    readouts_[0]->setText(PointReadout(pixel, rect_.left, rect_.top));
    readouts_[1]->setText(PointReadout(pixel, rect_.right, rect_.bottom));
    readouts_[2]->setText(LengthReadout(resolved.Width()));
    readouts_[3]->setText(LengthReadout(resolved.Height()));
}

void CCropRectDlg::RepaintFrames() {
    preview_->update();
    if (canvas_.actualSize)
        navigator_->update();
}

void CCropRectDlg::TrackCursor(QPoint dialogPoint) {
    hitCode_ = 0;
    const QPoint inPreview = preview_->mapFrom(this, dialogPoint);
    const QRect reach = preview_->rect().adjusted(-kCanvasHandleSize, -kCanvasHandleSize,
                                                  kCanvasHandleSize, kCanvasHandleSize);
    if (canvas_.HasPreview() && reach.contains(inPreview)) {
        const QPoint hit = canvas_.ToHitSpace(inPreview);
        hitCode_ = CanvasHitTest(canvas_.HitRect(), hit.x(), hit.y());
    }
    std::optional<QCursor> cursor = CursorForHit(hitCode_);
    if (hitCode_ != 0)
        cursorClip_ = canvas_.CursorClip(hitCode_);
    const QPoint inNavigator = navigator_->mapFrom(this, dialogPoint);
    if (navigator_->isVisible() && canvas_.Viewport().Contains(inNavigator.x(), inNavigator.y())) {
        cursor = CursorForHit(kHitInside);
    }
    if (cursor) {
        setCursor(*cursor);
    } else {
        unsetCursor();
    }
}

void CCropRectDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ != Drag::kNone && !(event->buttons() & Qt::LeftButton))
        drag_ = Drag::kNone;
    if (drag_ == Drag::kHandle) {
        DragHandle(at);
    } else if (drag_ == Drag::kViewport) {
        DragViewport(at);
    } else {
        TrackCursor(at);
    }
    QDialog::mouseMoveEvent(event);
}

void CCropRectDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    TrackCursor(at);
    const QPoint inNavigator = navigator_->mapFrom(this, at);
    if (hitCode_ != 0) {
        drag_ = Drag::kHandle;
        dragStart_ = preview_->mapFrom(this, at);
        startEdges_ = EdgesOf(rect_.Resolve(canvas_.ImageWidth(), canvas_.ImageHeight()));
    } else if (navigator_->isVisible() &&
               canvas_.Viewport().Contains(inNavigator.x(), inNavigator.y())) {
        drag_ = Drag::kViewport;
        dragStart_ = inNavigator;
        startViewport_ = canvas_.Viewport();
    } else {
        QDialog::mousePressEvent(event);
    }
}

void CCropRectDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        drag_ = Drag::kNone;
    QDialog::mouseReleaseEvent(event);
}

void CCropRectDlg::DragHandle(QPoint dialogPoint) {
    if (std::optional<QCursor> cursor = CursorForHit(hitCode_))
        setCursor(*cursor);
    const QPoint at = ClampToClip(preview_->mapFrom(this, dialogPoint), cursorClip_);
    const double scale = canvas_.DragScale();
    const double dx = (at.x() - dragStart_.x()) / scale;
    const double dy = (at.y() - dragStart_.y()) / scale;
    const int w = canvas_.ImageWidth();
    const int h = canvas_.ImageHeight();
    const CropEdges dragged = DragEdges(hitCode_, startEdges_, dx, dy, w, h);
    SetEdges(rect_,
             SnapRect(dragged, canvas_.showGrid || canvas_.lossless, rect_.isPixel == 0, w, h));
    RepaintFrames();
}

void CCropRectDlg::DragViewport(QPoint dialogPoint) {
    if (std::optional<QCursor> cursor = CursorForHit(kHitInside))
        setCursor(*cursor);
    const QPoint travel = navigator_->mapFrom(this, dialogPoint) - dragStart_;
    const PixelRect moved =
        ClampViewport(Offset(startViewport_, travel.x(), travel.y()), canvas_.NavigatorPlacement());
    const QPoint scroll = ScrollForViewport(moved, canvas_.NavigatorPlacement(),
                                            canvas_.ImageWidth(), canvas_.ImageHeight());
    canvas_.scrollX = scroll.x();
    canvas_.scrollY = scroll.y();
    preview_->update();
    navigator_->update();
}

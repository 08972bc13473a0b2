#include "croprects/QualityDlg.h"
#include "platform/ResourceIds.h"

#include "platform/DialogUnits.h"
#include "platform/Language.h"
#include "platform/PlatformUi.h"
#include "platform/StringTable.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, Qt::Alignment alignment, const QRect& at) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setGeometry(at);
    return label;
}

QPushButton* AddButton(QWidget* parent, const QString& text, const QRect& at) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(at);
    return button;
}

}  // namespace

CQualityDlg::CQualityDlg(int templateId, int& setting, QWidget* parent)
    : QDialog(parent), setting_(setting), quality_(setting) {
    setWindowTitle(DialogText(templateId, control::kTitle));
    setFont(DialogFont());
    setFixedSize(DialogGeometry(0, 0, kWidthUnits, kHeightUnits).size());

    QPushButton* ok =
        AddButton(this, DialogText(templateId, control::kOk), DialogGeometry(52, 40, 50, 14));
    QPushButton* cancel =
        AddButton(this, DialogText(templateId, control::kCancel), DialogGeometry(127, 40, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    readout_ =
        AddLabel(this, QString::number(quality_), Qt::AlignHCenter, DialogGeometry(91, 8, 46, 8));
    readout_->setObjectName(ControlName(control::kQualityReadout));
    AddLabel(this, QString::number(kMinQuality), Qt::AlignRight, DialogGeometry(10, 22, 10, 8));
    AddLabel(this, QString::number(kMaxQuality), Qt::AlignLeft, DialogGeometry(204, 22, 14, 8));

    trackbar_ = new QSlider(Qt::Horizontal, this);
    trackbar_->setObjectName(ControlName(control::kQualityTrackbar));
    trackbar_->setTickPosition(QSlider::NoTicks);
    trackbar_->setGeometry(DialogGeometry(26, 18, 177, 16));
    trackbar_->setRange(kMinQuality, kMaxQuality);
    trackbar_->setValue(quality_);
    // Whatever moves the thumb (a drag, arrow keys, a click beside it, the
    // wheel) sets the value, so the thumb, the number and what OK stores
    // always agree.
    connect(trackbar_, &QSlider::valueChanged, this, [this](int value) { TakeThumb(value); });
}

int CQualityDlg::LanguageTemplate() {
    return ByLanguage(dialog::kQuality);
}

void CQualityDlg::TakeThumb(int value) {
    quality_ = value;
    readout_->setText(QString::number(quality_));
}

void CQualityDlg::accept() {
    setting_ = quality_;
    QDialog::accept();
}

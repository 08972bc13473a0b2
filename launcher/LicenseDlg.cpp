#include "launcher/LicenseDlg.h"
#include "platform/ResourceIds.h"

#include "platform/DialogUnits.h"
#include "platform/StringTable.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <utility>

namespace {

// An agreement is a few pages; anything far larger is not one.
constexpr qint64 kMaxAgreementBytes = 4 * 1024 * 1024;

QPushButton* AddButton(QHBoxLayout* row, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setMinimumSize(DialogUnitsToPixelsX(50), DialogUnitsToPixelsY(14));
    row->addWidget(button);
    return button;
}

QPlainTextEdit* AddTextControl(QVBoxLayout* layout, QWidget* parent) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(ControlName(control::kAgreementText));
    text->setReadOnly(true);
    // Lines keep their breaks; long ones scroll sideways.
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(text, 1);
    return text;
}

}  // namespace

CLicenseDlg::CLicenseDlg(int templateId, QString textPath, QWidget* parent)
    : QDialog(parent), textPath_(std::move(textPath)) {
    setWindowTitle(DialogText(templateId, control::kTitle));
    auto* layout = new QVBoxLayout(this);
    const int margin = DialogUnitsToPixelsX(7);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsToPixelsY(7));
    text_ = AddTextControl(layout, this);
    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(DialogUnitsToPixelsX(7));
    buttons->addStretch();
    QPushButton* agree = AddButton(buttons, DialogText(templateId, control::kOk), this);
    QPushButton* disagree = AddButton(buttons, DialogText(templateId, control::kCancel), this);
    buttons->addStretch();
    layout->addLayout(buttons);
    agree->setDefault(true);
    connect(agree, &QPushButton::clicked, this, &QDialog::accept);
    connect(disagree, &QPushButton::clicked, this, &QDialog::reject);
    resize(DialogGeometry(0, 0, kWidthUnits, kHeightUnits).size());
}

bool CLicenseDlg::LoadText() {
    QString text;
    if (!ReadAgreementText(textPath_, text))
        return false;
    text_->setPlainText(text);
    return true;
}

bool ReadAgreementText(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxAgreementBytes)
        return false;
    const QByteArray bytes = file.read(kMaxAgreementBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxAgreementBytes)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError())
        decoded = QString::fromLocal8Bit(bytes);
    decoded.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text = std::move(decoded);
    return true;
}

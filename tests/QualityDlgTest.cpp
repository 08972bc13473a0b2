// The JPEG quality dialog: however the thumb is moved, the number shown and
// what OK stores follow it.

#include "croprects/QualityDlg.h"
#include "platform/ResourceIds.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

QSlider* Trackbar(const CQualityDlg& dialog) {
    return dialog.findChild<QSlider*>(ControlName(control::kQualityTrackbar));
}

QString Readout(const CQualityDlg& dialog) {
    return dialog.findChild<QLabel*>(ControlName(control::kQualityReadout))->text();
}

QPushButton* ButtonTitled(const CQualityDlg& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QRect HandleRect(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.upsideDown = slider->invertedAppearance();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                           slider);
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Presses the thumb with the left button, drags it to `x` and lets it go.
void DragThumbTo(QSlider* slider, int x) {
    const QPoint grip = HandleRect(slider).center();
    SendMouse(slider, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    SendMouse(slider, QEvent::MouseMove, QPoint(x, grip.y()), Qt::NoButton, Qt::LeftButton);
    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(x, grip.y()), Qt::LeftButton,
              Qt::NoButton);
}

void PressKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

TEST(QualityDlgTest, OpensAtTheStoredQualityInTheTemplatesLayout) {
    ScopedLanguage language("en_US.UTF-8");
    int setting = 80;
    QString title;
    {
        ModalScript script({[&](QWidget* widget) {
            auto* dialog = static_cast<CQualityDlg*>(widget);
            title = dialog->windowTitle();
            EXPECT_EQ(Trackbar(*dialog)->value(), 80);
            EXPECT_EQ(Readout(*dialog), QStringLiteral("80"));
            dialog->reject();
        }});
        CQualityDlg dialog(CQualityDlg::LanguageTemplate(), setting);
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_EQ(script.Answered(), 1);
    }
    EXPECT_EQ(title, QStringLiteral("Jpeg Quality"));

    CQualityDlg dialog(dialog::kQuality.english, setting);
    EXPECT_EQ(dialog.size(), QSize(344, 101));  // 229 x 62 dialog units
    QSlider* trackbar = Trackbar(dialog);
    EXPECT_EQ(trackbar->geometry(), QRect(39, 29, 266, 26));
    EXPECT_EQ(trackbar->minimum(), 1);
    EXPECT_EQ(trackbar->maximum(), 100);
    EXPECT_EQ(trackbar->tickPosition(), QSlider::NoTicks);
    ASSERT_NE(ButtonTitled(dialog, QStringLiteral("OK")), nullptr);
    EXPECT_TRUE(ButtonTitled(dialog, QStringLiteral("OK"))->isDefault());
    EXPECT_NE(ButtonTitled(dialog, QStringLiteral("Cancel")), nullptr);
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels.append(label->text());
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"1", "100", "80"}));
}

TEST(QualityDlgTest, JapaneseTemplateTexts) {
    ScopedLanguage language("ja_JP.UTF-8");
    EXPECT_EQ(CQualityDlg::LanguageTemplate(), 141);
    int setting = 50;
    const CQualityDlg dialog(CQualityDlg::LanguageTemplate(), setting);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Jpegの品質"));
    EXPECT_NE(ButtonTitled(dialog, QStringLiteral("OK")), nullptr);
    EXPECT_NE(ButtonTitled(dialog, QStringLiteral("キャンセル")), nullptr);
}

TEST(QualityDlgTest, EveryTextFitsItsBoxInBothLanguages) {
    for (const QByteArray lang : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        ScopedLanguage language(lang);
        int setting = 100;
        const CQualityDlg dialog(CQualityDlg::LanguageTemplate(), setting);
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << lang.constData() << " " << label->text().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->height()) << lang.constData();
        }
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
                << lang.constData() << " " << button->text().toStdString();
        }
    }
}

TEST(QualityDlgTest, DraggingToEitherEndAndConfirmingStoresIt) {
    for (const bool left : {true, false}) {
        int setting = 80;
        CQualityDlg dialog(dialog::kQuality.english, setting);
        dialog.show();
        QSlider* trackbar = Trackbar(dialog);
        DragThumbTo(trackbar, left ? -100 : trackbar->width() + 100);
        const int end = left ? 1 : 100;
        EXPECT_EQ(Readout(dialog), QString::number(end));
        EXPECT_EQ(setting, 80);  // nothing is stored before OK
        ButtonTitled(dialog, QStringLiteral("OK"))->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(setting, end);
    }
}

// The thumb, the number and the stored value never disagree, whatever moved
// the thumb.
TEST(QualityDlgTest, KeysClicksAndTheWheelSetTheValueTheThumbShows) {
    int setting = 80;
    CQualityDlg dialog(dialog::kQuality.english, setting);
    dialog.show();
    QSlider* trackbar = Trackbar(dialog);
    const auto agree = [&](const char* step) {
        EXPECT_EQ(Readout(dialog), QString::number(trackbar->value())) << step;
        EXPECT_EQ(dialog.Quality(), trackbar->value()) << step;
    };
    PressKey(trackbar, Qt::Key_Left);
    EXPECT_EQ(trackbar->value(), 79);
    agree("arrow key");
    PressKey(trackbar, Qt::Key_PageDown);
    agree("page key");
    PressKey(trackbar, Qt::Key_Home);
    EXPECT_EQ(trackbar->value(), 1);
    agree("home");
    PressKey(trackbar, Qt::Key_End);
    EXPECT_EQ(trackbar->value(), 100);
    agree("end");
    // A click on the groove beside the thumb.
    const QRect handle = HandleRect(trackbar);
    const QPoint beside(handle.left() - 20, handle.center().y());
    SendMouse(trackbar, QEvent::MouseButtonPress, beside, Qt::LeftButton, Qt::LeftButton);
    SendMouse(trackbar, QEvent::MouseButtonRelease, beside, Qt::LeftButton, Qt::NoButton);
    EXPECT_LT(trackbar->value(), 100);
    agree("click beside the thumb");
    QWheelEvent wheel(QPointF(5, 5), trackbar->mapToGlobal(QPointF(5, 5)), {}, {0, -120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    const int beforeWheel = trackbar->value();
    QApplication::sendEvent(trackbar, &wheel);
    EXPECT_NE(trackbar->value(), beforeWheel);
    agree("wheel");
    const int shown = trackbar->value();
    PressKey(&dialog, Qt::Key_Return);  // the default button
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(setting, shown);
}

TEST(QualityDlgTest, CancelAfterDraggingKeepsTheStoredQuality) {
    int setting = 42;
    CQualityDlg dialog(dialog::kQuality.english, setting);
    dialog.show();
    DragThumbTo(Trackbar(dialog), -100);
    EXPECT_EQ(dialog.Quality(), 1);
    ButtonTitled(dialog, QStringLiteral("Cancel"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(setting, 42);
    PressKey(&dialog, Qt::Key_Escape);
    EXPECT_EQ(setting, 42);
}

}  // namespace

#include "platform/PlatformUi.h"

#include "platform/Language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Gives every button the pointing hand as it is first polished.
class HandCursorForButtons : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish) {
            if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
                button->setCursor(Qt::PointingHandCursor);
            }
        }
        return false;
    }
};

void UseHandCursorForButtons() {
    static HandCursorForButtons* filter = nullptr;
    if (filter != nullptr)
        return;
    filter = new HandCursorForButtons(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
    QObject::connect(filter, &QObject::destroyed, [] { filter = nullptr; });
}

}  // namespace

void SetUpPlatformUi() {
    UseHandCursorForButtons();
    QFont::insertSubstitution(QString::fromUtf16(kJapaneseFace),
                              QString::fromLatin1(kJapaneseFaceSubstitute));
    if (!IsJapaneseLanguage())
        return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    // Without the translations the platform's texts stay English.
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    }
}

QFont DialogFont() {
    QFont font(IsJapaneseLanguage() ? QString::fromUtf16(kJapaneseFace)
                                    : QString::fromLatin1(kLatinFace));
    font.setPixelSize(kDialogFontPixels);
    return font;
}

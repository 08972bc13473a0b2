#include "platform/PlatformUi.h"

#include "platform/Language.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

void SetUpPlatformUi() {
    QFont::insertSubstitution(QString::fromUtf16(kJapaneseFace),
                              QString::fromLatin1(kJapaneseFaceSubstitute));
    if (!IsJapaneseLanguage()) return;
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

#include "platform/Language.h"

#include <QLocale>
#include <QStringList>

namespace {

// "ja_JP.UTF-8@x" -> {"ja", "JP"}: codeset and modifier do not change the language.
QStringList LocaleSubtags(QStringView name) {
    QString core = name.toString();
    for (const QChar stop : {QChar(u'.'), QChar(u'@')}) {
        const qsizetype at = core.indexOf(stop);
        if (at >= 0)
            core.truncate(at);
    }
    core.replace(u'-', u'_');
    return core.split(u'_');
}

}  // namespace

bool IsJapaneseLocaleName(QStringView name) {
    const QStringList tags = LocaleSubtags(name);
    if (tags.size() < 2 || tags[0].compare(u"ja", Qt::CaseInsensitive) != 0)
        return false;
    // A script subtag ("Jpan") may stand between language and territory.
    const QString& territory = tags[1].size() == 4 && tags.size() > 2 ? tags[2] : tags[1];
    return territory.compare(u"JP", Qt::CaseInsensitive) == 0;
}

QString SystemLocaleName() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Qt's system locale fills an unknown territory with the likely one
    // (ja_XX becomes ja_JP), so the environment is read as it is.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return QStringLiteral("C");
#else
    return QLocale::system().name();
#endif
}

bool IsJapaneseLanguage() {
    return IsJapaneseLocaleName(SystemLocaleName());
}

QString ApplicationName() {
    return IsJapaneseLanguage() ? QStringLiteral("ペルモラ")
                                : QStringLiteral("Quorvane Framewright");
}

QString CompanyName() {
    return QStringLiteral("Quorvane");
}

#include "platform/StringTable.h"

#include "platform/Language.h"

#include <QFile>

namespace {

// Undoes the table's two escapes; false for any other backslash sequence.
bool Unescape(QStringView raw, QString& text) {
    text.clear();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != u'\\') {
            text += raw[i];
            continue;
        }
        if (++i == raw.size())
            return false;
        if (raw[i] == u'n') {
            text += u'\n';
        } else if (raw[i] == u'\\') {
            text += u'\\';
        } else {
            return false;
        }
    }
    return true;
}

bool IsValidKey(QStringView key) {
    if (key.isEmpty() || key.front() == u'.' || key.back() == u'.' || key.count(u'.') > 1) {
        return false;
    }
    for (const QChar c : key) {
        if (!c.isDigit() && c != u'.')
            return false;
    }
    return true;
}

const QHash<QString, QString>& Table() {
    static const QHash<QString, QString> table = [] {
        QFile file(QString::fromLatin1(kStringTableResource));
        return file.open(QIODevice::ReadOnly) ? ParseStringTable(file.readAll())
                                              : QHash<QString, QString>();
    }();
    return table;
}

}  // namespace

QHash<QString, QString> ParseStringTable(const QByteArray& utf8, QStringList* problems) {
    QHash<QString, QString> table;
    const auto complain = [problems](int line, const QString& what) {
        if (problems == nullptr)
            return;
        problems->append(QStringLiteral("line %1: %2").arg(line).arg(what));
    };
    const QStringList lines = QString::fromUtf8(utf8).split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        const QStringView key = tab < 0 ? line : line.left(tab);
        QString text;
        if (tab < 0 || !IsValidKey(key)) {
            complain(n + 1, QStringLiteral("no number and tab"));
        } else if (!Unescape(line.mid(tab + 1), text)) {
            complain(n + 1, QStringLiteral("unknown escape"));
        } else if (table.contains(key.toString())) {
            complain(n + 1, QStringLiteral("%1 given twice").arg(key));
        } else {
            table.insert(key.toString(), text);
        }
    }
    return table;
}

QString ResourceString(int id) {
    return Table().value(QString::number(id));
}

QString LangString(LangIds message) {
    return ResourceString(ByLanguage(message));
}

QString DialogText(int templateId, int controlId) {
    return Table().value(QStringLiteral("%1.%2").arg(templateId).arg(controlId));
}

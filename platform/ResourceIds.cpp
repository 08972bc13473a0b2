#include "platform/ResourceIds.h"

#include "platform/Language.h"

QString ControlName(int controlId) {
    return QString::number(controlId);
}

int ByLanguage(LangIds ids) {
    return IsJapaneseLanguage() ? ids.japanese : ids.english;
}

QString PictureResource(int pictureId) {
    return QStringLiteral(":/pelmora/bitmaps/%1.png").arg(pictureId);
}

QString CursorResource(int cursorId) {
    return QStringLiteral(":/pelmora/cursors/%1.png").arg(cursorId);
}

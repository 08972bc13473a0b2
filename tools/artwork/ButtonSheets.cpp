#include "ButtonSheets.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <functional>

namespace {

namespace palette {
const QColor kBackground(245, 250, 254);
const QColor kPanel(229, 234, 238);
const QColor kAccent(88, 123, 194);
}  // namespace palette

constexpr double kPadding = 4.0;

QString FontFamily(SheetLanguage language) {
    return language == SheetLanguage::kJapanese ? QStringLiteral("IPAGothic")
                                                : QStringLiteral("Liberation Sans");
}

// The largest font (down to 6 px) whose text fits `box` less the padding.
QFont FittingFont(const QString& text, const QRectF& box, const QString& family, bool bold) {
    QFont font(family);
    font.setBold(bold);
    for (double size = box.height() - 2 * kPadding + 3; size >= 6.0; size -= 0.5) {
        font.setPixelSize(static_cast<int>(size));
        const QFontMetricsF metrics(font);
        if (metrics.horizontalAdvance(text) <= box.width() - 2 * kPadding &&
            metrics.height() <= box.height() - 1) {
            return font;
        }
    }
    font.setPixelSize(6);
    return font;
}

struct Face {
    bool primary = false;
    QString label;                                       // text faces
    std::function<void(QPainter&, const QRectF&)> icon;  // icon faces
};

// One button face in `cell`; pressed faces shift 1 px and darken by 15 %.
void DrawFace(QPainter& painter, const QRectF& cell, const Face& face, bool pressed,
              const QString& family) {
    const QRectF shape = cell.adjusted(1, 1, -1, -1).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    QColor fill = face.primary ? palette::kAccent : palette::kPanel;
    if (pressed)
        fill = fill.darker(118);
    painter.setPen(face.primary ? Qt::NoPen : QPen(palette::kAccent.lighter(150), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(shape.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    if (face.icon) {
        face.icon(painter, shape);
        return;
    }
    painter.setPen(face.primary ? Qt::white : palette::kAccent);
    painter.setFont(FittingFont(face.label, shape, family, face.primary));
    painter.drawText(shape, Qt::AlignCenter, face.label);
}

// A sheet of `faces` in equal cells: normal row above, pressed row below.
QImage Sheet(int width, int height, const std::vector<Face>& faces, int columns,
             const QString& family) {
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(palette::kBackground);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double cellWidth = static_cast<double>(width) / columns;
    const double cellHeight = height / 2.0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (faces[i].label.isEmpty() && !faces[i].icon)
            continue;
        for (const bool pressed : {false, true}) {
            const QRectF cell(static_cast<double>(i) * cellWidth, pressed ? cellHeight : 0.0,
                              cellWidth, cellHeight);
            DrawFace(painter, cell, faces[i], pressed, family);
        }
    }
    return sheet;
}

QStringList Labels(SheetLanguage language, const QStringList& japanese,
                   const QStringList& english) {
    return language == SheetLanguage::kJapanese ? japanese : english;
}

std::vector<Face> TextFaces(const QStringList& labels, bool primary) {
    std::vector<Face> faces;
    for (const QString& label : labels)
        faces.push_back({primary, label, {}});
    return faces;
}

QPen Stroke(const QColor& color) {
    return QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Arrow(QPainter& painter, const QRectF& box, bool right) {
    const QPointF c = box.center();
    const double s = 3.5;
    const double d = right ? 1.0 : -1.0;
    painter.setPen(Stroke(palette::kAccent));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF{{c.x() - d * s * 0.6, c.y() - s},
                                   {c.x() + d * s * 0.6, c.y()},
                                   {c.x() - d * s * 0.6, c.y() + s}});
}

void HomeIcon(QPainter& painter, const QRectF& box) {
    const QPointF c = box.center();
    painter.setPen(Stroke(palette::kAccent));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(
        QPolygonF{{c.x() - 4.5, c.y() - 0.5}, {c.x(), c.y() - 4.5}, {c.x() + 4.5, c.y() - 0.5}});
    painter.drawPolyline(QPolygonF{{c.x() - 3, c.y() - 1.5},
                                   {c.x() - 3, c.y() + 4},
                                   {c.x() + 3, c.y() + 4},
                                   {c.x() + 3, c.y() - 1.5}});
}

void HelpIcon(QPainter& painter, const QRectF& box) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(palette::kAccent);
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
}

void MinimiseIcon(QPainter& painter, const QRectF& box) {
    const QPointF c = box.center();
    painter.setPen(Stroke(palette::kAccent));
    painter.drawLine(QPointF(c.x() - 4, c.y() + 3), QPointF(c.x() + 4, c.y() + 3));
}

void CloseIcon(QPainter& painter, const QRectF& box) {
    const QPointF c = box.center();
    painter.setPen(Stroke(palette::kAccent));
    painter.drawLine(QPointF(c.x() - 3.5, c.y() - 3.5), QPointF(c.x() + 3.5, c.y() + 3.5));
    painter.drawLine(QPointF(c.x() + 3.5, c.y() - 3.5), QPointF(c.x() - 3.5, c.y() + 3.5));
}

// Four corner brackets: the crop mark of the product.
void CropCorners(QPainter& painter, const QRectF& box, const QColor& color, double width) {
    const double arm = std::min(box.width(), box.height()) * 0.32;
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const QPointF corners[] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
    const QPointF directions[] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
        const QPointF p = corners[i];
        const QPointF d = directions[i];
        painter.drawPolyline(
            QPolygonF{p + QPointF(d.x() * arm, 0), p, p + QPointF(0, d.y() * arm)});
    }
}

}  // namespace

QImage RectangleButtonsSheet(SheetLanguage language) {
    return Sheet(
        280, 36,
        TextFaces(Labels(language, {"編集", "追加", "削除"}, {"Edit", "Add", "Delete"}), false), 4,
        FontFamily(language));
}

QImage CropButtonsSheet(SheetLanguage language) {
    const bool japanese = language == SheetLanguage::kJapanese;
    return Sheet(japanese ? 400 : 320, 48,
                 TextFaces(Labels(language, {"選択画像を切り抜く", "全画像を切り抜く"},
                                  {"Crop selected", "Crop all"}),
                           true),
                 2, FontFamily(language));
}

QImage RemoveButtonsSheet(SheetLanguage language) {
    return Sheet(
        140, 36,
        TextFaces(Labels(language, {"選択を外す", "全て外す"}, {"Remove", "Remove all"}), false), 2,
        FontFamily(language));
}

QImage StepButtonsSheet() {
    std::vector<Face> faces(2);
    faces[0].icon = [](QPainter& p, const QRectF& box) { Arrow(p, box, false); };
    faces[1].icon = [](QPainter& p, const QRectF& box) { Arrow(p, box, true); };
    return Sheet(40, 36, faces, 2, FontFamily(SheetLanguage::kEnglish));
}

QImage CaptionIconsSheet() {
    QImage sheet(119, 34, QImage::Format_RGB32);
    sheet.fill(palette::kBackground);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::function<void(QPainter&, const QRectF&)> icons[7] = {
        {}, HomeIcon, {}, HelpIcon, MinimiseIcon, CloseIcon, {}};
    for (int cell = 0; cell < 7; ++cell) {
        if (!icons[cell])
            continue;
        for (const bool pressed : {false, true}) {
            const QRectF box(cell * 17.0, pressed ? 17.0 : 0.0, 17.0, 17.0);
            if (pressed) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(palette::kPanel);
                painter.drawRoundedRect(box.adjusted(1, 1, -1, -1), 3, 3);
            }
            icons[cell](painter, box.translated(pressed ? 0.5 : 0, pressed ? 0.5 : 0));
        }
    }
    return sheet;
}

QImage CaptionStrip(bool active) {
    QImage strip(410, 28, QImage::Format_RGB32);
    QPainter painter(&strip);
    QLinearGradient band(0, 0, 410, 0);
    const QColor start = active ? palette::kPanel : palette::kBackground.darker(102);
    band.setColorAt(0.0, start);
    band.setColorAt(0.55, start);
    band.setColorAt(1.0, palette::kBackground);
    painter.fillRect(strip.rect(), band);
    if (active) {
        painter.fillRect(QRect(0, 26, 410, 2), QLinearGradient());
        QLinearGradient line(0, 0, 410, 0);
        line.setColorAt(0.0, palette::kAccent);
        line.setColorAt(1.0, palette::kBackground);
        painter.fillRect(QRect(0, 26, 410, 2), line);
    }
    return strip;
}

QImage CornerMark() {
    QImage mark(38, 34, QImage::Format_RGB32);
    mark.fill(palette::kBackground);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    CropCorners(painter, QRectF(9, 8, 20, 18), palette::kAccent.lighter(130), 2.0);
    return mark;
}

QImage ProgramIcon() {
    QImage icon(128, 128, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::kBackground);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 22, 22);
    // A photo with a crop frame over it.
    QLinearGradient sky(0, 24, 0, 100);
    sky.setColorAt(0.0, palette::kAccent.lighter(150));
    sky.setColorAt(1.0, palette::kAccent);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(22, 30, 84, 66), 6, 6);
    painter.setBrush(palette::kPanel);
    QPainterPath hills;
    hills.moveTo(22, 96);
    hills.lineTo(48, 64);
    hills.lineTo(66, 82);
    hills.lineTo(80, 70);
    hills.lineTo(106, 96);
    hills.closeSubpath();
    painter.drawPath(hills);
    CropCorners(painter, QRectF(14, 20, 100, 86), QColor(224, 64, 48), 7.0);
    return icon;
}

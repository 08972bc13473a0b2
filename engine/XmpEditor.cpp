#include "engine/XmpEditor.h"

#include <QRegularExpression>

#include <vector>

namespace {

struct NumberSpan {
    qsizetype start;
    qsizetype length;
    QByteArray replacement;
};

// Positions of the digits of every dimension property, in packet order.
std::vector<NumberSpan> FindNumbers(const QByteArray& packet, quint32 width, quint32 height) {
    static const QRegularExpression property(QStringLiteral(
        R"((exif:PixelXDimension|exif:PixelYDimension|tiff:ImageWidth|tiff:ImageLength))"
        R"((\s*=\s*["']\s*|\s*>\s*)(\d+))"));
    const QString text = QString::fromLatin1(packet);  // one char per byte: offsets match
    std::vector<NumberSpan> spans;
    QRegularExpressionMatchIterator it = property.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        const bool horizontal = name.endsWith(u"PixelXDimension") || name.endsWith(u"ImageWidth");
        spans.push_back({m.capturedStart(3), m.capturedLength(3),
                         QByteArray::number(horizontal ? width : height)});
    }
    return spans;
}

// The whitespace run just before "<?xpacket end", as [start, end).
std::pair<qsizetype, qsizetype> Padding(const QByteArray& packet) {
    const qsizetype end = packet.lastIndexOf("<?xpacket end");
    if (end < 0)
        return {packet.size(), packet.size()};
    qsizetype start = end;
    while (start > 0 && QByteArrayView(" \t\r\n").contains(packet[start - 1]))
        --start;
    return {start, end};
}

}  // namespace

XmpEdit RewriteXmpDimensions(QByteArray& packet, quint32 width, quint32 height) {
    const std::vector<NumberSpan> spans = FindNumbers(packet, width, height);
    if (spans.empty())
        return XmpEdit::kNothingToDo;
    qsizetype growth = 0;
    for (const NumberSpan& span : spans)
        growth += span.replacement.size() - span.length;
    const auto [padStart, padEnd] = Padding(packet);
    if (growth > padEnd - padStart)
        return XmpEdit::kNoRoom;
    if (padStart < spans.back().start)
        return XmpEdit::kNoRoom;

    QByteArray edited;
    edited.reserve(packet.size());
    qsizetype from = 0;
    for (const NumberSpan& span : spans) {
        edited.append(packet.mid(from, span.start - from));
        edited.append(span.replacement);
        from = span.start + span.length;
    }
    // Up to the padding, then the padding shortened or lengthened.
    edited.append(packet.mid(from, padStart - from));
    edited.append(QByteArray(padEnd - padStart - growth, ' '));
    edited.append(packet.mid(padEnd));
    packet = edited;
    return XmpEdit::kUpdated;
}

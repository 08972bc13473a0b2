#include "platform/TextLayout.h"

#include "platform/Language.h"
#include "platform/PlatformUi.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

const QString kEllipsis = QStringLiteral("...");

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsSpace(char32_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}

// Characters that must not begin a line, and those that must not end one.
bool NoLineStart(char32_t c) {
    static const std::u32string kSet =
        U"、。，．・：；？！ー）」』】〕〉》｝］ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々…‥"
        U",.:;!?)]}";
    return kSet.find(c) != std::u32string::npos;
}

bool NoLineEnd(char32_t c) {
    static const std::u32string kSet = U"（「『【〔〈《｛［([{";
    return kSet.find(c) != std::u32string::npos;
}

bool IsPathSeparatorChar(QChar c) {
    return c == u'/' || c == u'\\';
}

// Cuts never fall between the halves of a surrogate pair.
qsizetype CutBack(const QString& text, qsizetype at) {
    if (at > 0 && at < text.size() && text[at].isLowSurrogate())
        --at;
    return at;
}

// An unbreakable run with the spaces that follow it.
struct Piece {
    QString word;
    QString spaces;
};

// True when the run of non-spaces from `from` holds a path separator: such a
// run is a path and is shortened rather than broken.
bool RunHoldsPath(const QString& text, qsizetype from) {
    for (qsizetype j = from; j < text.size() && !IsSpace(text[j].unicode()); ++j) {
        if (IsPathSeparatorChar(text[j]))
            return true;
    }
    return false;
}

std::vector<Piece> SplitIntoPieces(const QString& paragraph) {
    std::vector<Piece> pieces;
    Piece current;
    char32_t previous = 0;
    bool inRun = false;
    bool pathRun = false;
    for (qsizetype i = 0; i < paragraph.size();) {
        const qsizetype start = i;
        const qsizetype length = paragraph[i].isHighSurrogate() && i + 1 < paragraph.size() ? 2 : 1;
        const QString unit = paragraph.mid(i, length);
        const char32_t c = length == 2 ? QChar::surrogateToUcs4(paragraph[i], paragraph[i + 1])
                                       : paragraph[i].unicode();
        i += length;
        if (IsSpace(c)) {
            // Spaces before the first word stay part of it.
            if (current.word.isEmpty() && pieces.empty()) {
                current.word += unit;
            } else {
                current.spaces += unit;
            }
            previous = c;
            inRun = false;
            continue;
        }
        if (!inRun) {
            pathRun = RunHoldsPath(paragraph, start);
            inRun = true;
        }
        const bool afterSpaces = !current.spaces.isEmpty();
        const bool wideBreak = !pathRun && previous != 0 && !IsSpace(previous) &&
                               (IsWide(previous) || IsWide(c)) && !NoLineStart(c) &&
                               !NoLineEnd(previous);
        if (afterSpaces || (wideBreak && !current.word.isEmpty())) {
            pieces.push_back(std::move(current));
            current = Piece();
        }
        current.word += unit;
        previous = c;
    }
    if (!current.word.isEmpty() || !current.spaces.isEmpty())
        pieces.push_back(std::move(current));
    return pieces;
}

QString TrimEnd(QString text) {
    qsizetype end = text.size();
    while (end > 0 && IsSpace(text[end - 1].unicode()))
        --end;
    text.truncate(end);
    return text;
}

// The largest n in [0, limit] for which fits(n) holds, fits being monotonic;
// -1 when not even fits(0) holds.
template <class Fits>
qsizetype LargestFitting(qsizetype limit, const Fits& fits) {
    if (!fits(0))
        return -1;
    qsizetype low = 0;
    qsizetype high = limit;
    while (low < high) {
        const qsizetype middle = low + (high - low + 1) / 2;
        if (fits(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

}  // namespace

QFont FontWithCellHeight(const QString& face, int cellHeight, int weight) {
    QFont font(face);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    int size = std::max(cellHeight, 1);
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > cellHeight)
        font.setPixelSize(--size);
    return font;
}

QFont ProgramFont(int cellHeight, int weight) {
    const QString face =
        IsJapaneseLanguage() ? QString::fromUtf16(kJapaneseFace) : QStringLiteral("Arial");
    return FontWithCellHeight(face, cellHeight, weight);
}

QString ElideWord(const QString& word, const QFontMetrics& metrics, int width) {
    const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; };
    if (fits(word))
        return word;
    // A path keeps its last component and as much of its beginning as fits.
    qsizetype separator = word.size() - 1;
    while (separator > 0 && !IsPathSeparatorChar(word[separator]))
        --separator;
    if (separator > 0) {
        const QString tail = word.mid(separator);
        const qsizetype kept = LargestFitting(separator, [&](qsizetype n) {
            return fits(word.left(CutBack(word, n)) + kEllipsis + tail);
        });
        if (kept >= 0)
            return word.left(CutBack(word, kept)) + kEllipsis + tail;
    }
    // Otherwise the middle goes: as many characters from each end as fit.
    const auto shortened = [&](qsizetype n) {
        const qsizetype head = CutBack(word, (n + 1) / 2);
        const qsizetype tailStart = word.size() - n / 2;
        const qsizetype from =
            tailStart < word.size() && word[tailStart].isLowSurrogate() ? tailStart + 1 : tailStart;
        return word.left(head) + kEllipsis + word.mid(from);
    };
    const qsizetype kept =
        LargestFitting(word.size() - 1, [&](qsizetype n) { return fits(shortened(n)); });
    return kept >= 0 ? shortened(kept) : kEllipsis;
}

TextBlock LayoutText(const QString& text, const QFont& font, int width) {
    TextBlock block;
    block.font = font;
    const QFontMetrics metrics(font);
    block.lineHeight = metrics.height();
    if (text.isEmpty() || width < 1)
        return block;
    const auto fits = [&](const QString& line) {
        return metrics.horizontalAdvance(TrimEnd(line)) <= width;
    };
    const auto push = [&](const QString& line) {
        const QString trimmed = TrimEnd(line);
        block.lines.append(trimmed);
        block.width = std::max(block.width, metrics.horizontalAdvance(trimmed));
    };
    QString normalised = text;
    normalised.remove(u'\r');
    for (const QString& paragraph : normalised.split(u'\n')) {
        const std::vector<Piece> pieces = SplitIntoPieces(paragraph);
        QString line;
        bool open = true;  // an empty paragraph is still one line
        for (const Piece& piece : pieces) {
            if (!line.isEmpty() && fits(line + piece.word)) {
                line += piece.word + piece.spaces;
                continue;
            }
            if (!line.isEmpty())
                push(line);
            if (fits(piece.word)) {
                line = piece.word + piece.spaces;
                open = true;
            } else {
                push(ElideWord(piece.word, metrics, width));
                line.clear();
                open = false;
            }
        }
        if (!line.isEmpty() || open)
            push(line);
    }
    return block;
}

void DrawTextBlock(QPainter& painter, const TextBlock& block, QPoint topLeft, const QColor& color) {
    painter.save();
    painter.setFont(block.font);
    painter.setPen(color);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int ascent = QFontMetrics(block.font).ascent();
    for (qsizetype i = 0; i < block.lines.size(); ++i) {
        const int baseline = topLeft.y() + static_cast<int>(i) * block.lineHeight + ascent;
        painter.drawText(QPoint(topLeft.x(), baseline), block.lines[i]);
    }
    painter.restore();
}

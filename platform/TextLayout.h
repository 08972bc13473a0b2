#pragma once

// Owner-drawn text as the program's windows draw it: fonts asked for by cell
// height, lines broken at word boundaries, and words too long for a line
// shortened in the middle, keeping the end of a path.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>
#include <QStringList>

class QFontMetrics;
class QPainter;

// The program's face by the language rule ("ＭＳ ゴシック" for Japanese texts,
// "Arial" otherwise) at the largest pixel size whose line (ascent plus
// descent) is at most `cellHeight` pixels high: a height given for a text
// means the whole line, accents and descenders included.
QFont ProgramFont(int cellHeight, int weight = 400);

// The same rule for any face.
QFont FontWithCellHeight(const QString& face, int cellHeight, int weight = 400);

// Text laid out into a box of a given width. Lines are left-aligned and
// follow each other at `lineHeight`.
struct TextBlock {
    QFont font;
    QStringList lines;
    int width = 0;  // of the widest line
    int lineHeight = 0;
    int Height() const { return static_cast<int>(lines.size()) * lineHeight; }
};

// Breaks `text` into lines no wider than `width`: at each "\n", after runs of
// spaces, and next to East Asian wide characters (never before closing
// punctuation or a small kana, never after an opening bracket, never inside
// a word that holds a path separator). A word that
// does not fit a line on its own is shortened with "..." in its middle; when
// it holds a path separator the part from the last separator on is kept
// whole if it can be. An empty text, or a width below 1, gives no lines.
TextBlock LayoutText(const QString& text, const QFont& font, int width);

// A word shortened as LayoutText does it, no wider than `width` where any
// shortening fits ("..." alone may still be wider).
QString ElideWord(const QString& word, const QFontMetrics& metrics, int width);

// Draws the block's lines from `topLeft` down, without a background.
void DrawTextBlock(QPainter& painter, const TextBlock& block, QPoint topLeft, const QColor& color);

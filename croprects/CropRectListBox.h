#pragma once

#include "croprects/CropRect.h"

#include <QImage>
#include <QListWidget>
#include <QSize>
#include <QString>

#include <memory>

// Rows of the rectangle list: 18 pixels high, a swatch framed in the
// rectangle's colour, then its text.
inline constexpr int kRectRowHeight = 18;
inline constexpr int kRectRowTextLeft = 22;
inline constexpr int kRectRowFontHeight = 12;
inline constexpr ColorRef kRectRowNormalColor = MakeColorRef(229, 234, 238);
inline constexpr ColorRef kRectRowSelectedColor = MakeColorRef(255, 234, 238);
inline constexpr ColorRef kRectRowTextColor = MakeColorRef(96, 96, 96);

// One row drawn off-screen, ready to be copied in one step; null for an
// empty size.
std::unique_ptr<QImage> DrawRectRow(const QString& text, ColorRef swatch, QSize size, bool selected,
                                    bool focused);

// The text a rectangle shows after it was edited.
QString EditedRectText(const CCropRect& rect);

// The list of crop rectangles beside the thumbnails: one row per rectangle,
// single selection. It holds only texts and colours; the main view keeps the
// rectangles themselves and changes both together.
class CCropRectListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit CCropRectListBox(QWidget* parent = nullptr);

    void InsertRow(int index, const QString& text, ColorRef swatch);
    void RemoveRow(int index);
    // -1 when nothing is selected.
    int SelectedRow() const;
    void SelectRow(int index);
};

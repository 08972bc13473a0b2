#pragma once

#include "platform/ColorRef.h"

#include <QImage>
#include <QItemSelectionModel>
#include <QListView>
#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class ImageCollection;

// Rows of the image list: 100 pixels high, the thumbnail centred in a
// 96 x 96 box two pixels from the row's corner, the text to its right.
inline constexpr int kImageRowHeight = 100;
inline constexpr int kImageRowTextLeft = 100;
inline constexpr ColorRef kImageRowNormalColor = MakeColorRef(229, 234, 238);
inline constexpr ColorRef kImageRowSelectedColor = MakeColorRef(255, 234, 238);
inline constexpr ColorRef kImageRowTextColor = MakeColorRef(96, 96, 96);
inline constexpr int kImageRowFontHeight = 12;

// What one row shows.
struct ImageRowContent {
    QImage thumbnail;
    QString path;
    int width = 0;  // of the whole image
    int height = 0;
};

// Where a thumbnail of that size stands in its row: centred by its fitted
// size in the 96 x 96 box that starts at (2, 2), halves truncated.
QPoint ThumbnailOrigin(int thumbnailWidth, int thumbnailHeight);

// The row's text: the path, then the size line.
QString ImageRowText(const QString& path, int width, int height);

// The row drawn off-screen, ready to be copied in one step. The focus
// rectangle is a dotted outline that inverts the row's border pixels. Null
// for an empty size.
std::unique_ptr<QImage> DrawImageRow(const ImageRowContent& row, QSize size, bool selected,
                                     bool focused);

// The thumbnail list of the image collection. A click toggles the selection
// of one row (no ranges, no drag selection) and then reports the row with
// ImageClicked; selection changed with the keyboard reports nothing, so the
// previewed image follows the mouse only.
class CImgList : public QListView {
    Q_OBJECT
  public:
    explicit CImgList(QWidget* parent = nullptr);

    void SetCollection(ImageCollection* images);

    // Selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    int SelectedCount() const;
    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);

  Q_SIGNALS:
    // Arrives after the click's selection change, from the event loop.
    void ImageClicked(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    // The row under `pos`, or the last row below the last one; -1 when empty.
    int NearestRow(const QPoint& pos) const;
};

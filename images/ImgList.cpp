#include "images/ImgList.h"

#include "engine/DrawingUtils.h"
#include "images/ImageCollection.h"
#include "images/ImgThumb.h"
#include "platform/TextLayout.h"

#include <QAbstractItemDelegate>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

class ImageRowDelegate : public QAbstractItemDelegate {
  public:
    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        // A request for a row that no longer exists draws nothing.
        if (!index.isValid() || index.row() >= index.model()->rowCount())
            return;
        ImageRowContent row;
        row.thumbnail = index.data(ImageCollection::kThumbnailRole).value<QImage>();
        row.path = index.data(Qt::DisplayRole).toString();
        row.width = index.data(ImageCollection::kWidthRole).toInt();
        row.height = index.data(ImageCollection::kHeightRole).toInt();
        const std::unique_ptr<QImage> canvas =
            DrawImageRow(row, option.rect.size(), option.state.testFlag(QStyle::State_Selected),
                         option.state.testFlag(QStyle::State_HasFocus));
        if (canvas)
            painter->drawImage(option.rect.topLeft(), *canvas);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, kImageRowHeight};
    }
};

}  // namespace

QPoint ThumbnailOrigin(int thumbnailWidth, int thumbnailHeight) {
    int w = thumbnailWidth;
    int h = thumbnailHeight;
    FitSize(w, h, kThumbnailBox, kThumbnailBox);
    return {(kThumbnailBox - w) / 2 + 2, (kThumbnailBox - h) / 2 + 2};
}

QString ImageRowText(const QString& path, int width, int height) {
    return path + QStringLiteral("\nwidth: %1 pixel, height: %2 pixel").arg(width).arg(height);
}

std::unique_ptr<QImage> DrawImageRow(const ImageRowContent& row, QSize size, bool selected,
                                     bool focused) {
    std::unique_ptr<QImage> canvas;
    if (CreateMemoryCanvas(canvas, size.width(), size.height(),
                           selected ? kImageRowSelectedColor : kImageRowNormalColor) == 0) {
        return nullptr;
    }
    if (!row.thumbnail.isNull()) {
        QPainter painter(canvas.get());
        painter.drawImage(ThumbnailOrigin(row.thumbnail.width(), row.thumbnail.height()),
                          row.thumbnail);
        const TextBlock text =
            LayoutText(ImageRowText(row.path, row.width, row.height),
                       ProgramFont(kImageRowFontHeight), size.width() - kImageRowTextLeft);
        DrawTextBlock(painter, text,
                      QPoint(kImageRowTextLeft, (kImageRowHeight - text.Height()) / 2),
                      ToQColor(kImageRowTextColor));
    }
    if (focused)
        InvertDottedOutline(*canvas);
    return canvas;
}

CImgList::CImgList(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setItemDelegate(new ImageRowDelegate(this));
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ToQColor(kImageRowNormalColor));
    setPalette(colours);
}

void CImgList::SetCollection(ImageCollection* images) {
    setModel(images);
}

std::vector<int> CImgList::SelectedRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr)
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CImgList::SelectedCount() const {
    return selectionModel() == nullptr ? 0
                                       : static_cast<int>(selectionModel()->selectedRows().size());
}

bool CImgList::IsSelected(int row) const {
    return model() != nullptr && selectionModel() != nullptr &&
           selectionModel()->isSelected(model()->index(row, 0));
}

void CImgList::SetSelected(int row, bool selected) {
    if (model() == nullptr || row < 0 || row >= model()->rowCount())
        return;
    selectionModel()->select(model()->index(row, 0), selected ? QItemSelectionModel::Select
                                                              : QItemSelectionModel::Deselect);
}

int CImgList::NearestRow(const QPoint& pos) const {
    const int count = model() == nullptr ? 0 : model()->rowCount();
    if (count == 0)
        return -1;
    const QModelIndex index = indexAt(pos);
    return index.isValid() ? index.row() : count - 1;
}

void CImgList::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int row = event->button() == Qt::LeftButton ? NearestRow(pos) : -1;
    if (row < 0 || indexAt(pos).isValid()) {
        QListView::mousePressEvent(event);
    } else {
        // Below the last row the press belongs to the last row.
        selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::Toggle);
    }
    if (row < 0)
        return;
    // Posted, so that whoever handles it sees the row's new selection.
    QMetaObject::invokeMethod(
        this, [this, row] { Q_EMIT ImageClicked(row); }, Qt::QueuedConnection);
}

QItemSelectionModel::SelectionFlags CImgList::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
    // Dragging with the button held selects nothing: only clicks toggle.
    if (event != nullptr && event->type() == QEvent::MouseMove)
        return QItemSelectionModel::NoUpdate;
    return QListView::selectionCommand(index, event);
}

#include "croprects/CropRectListBox.h"

#include "engine/DrawingUtils.h"
#include "platform/TextLayout.h"

#include <QAbstractItemDelegate>
#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kSwatchRole = Qt::UserRole + 1;

class RectRowDelegate : public QAbstractItemDelegate {
  public:
    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!index.isValid() || index.row() >= index.model()->rowCount())
            return;
        const std::unique_ptr<QImage> row =
            DrawRectRow(index.data(Qt::DisplayRole).toString(), index.data(kSwatchRole).toUInt(),
                        option.rect.size(), option.state.testFlag(QStyle::State_Selected),
                        option.state.testFlag(QStyle::State_HasFocus));
        if (row)
            painter->drawImage(option.rect.topLeft(), *row);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, kRectRowHeight};
    }
};

}  // namespace

std::unique_ptr<QImage> DrawRectRow(const QString& text, ColorRef swatch, QSize size, bool selected,
                                    bool focused) {
    std::unique_ptr<QImage> canvas;
    if (CreateMemoryCanvas(canvas, size.width(), size.height(),
                           selected ? kRectRowSelectedColor : kRectRowNormalColor) == 0) {
        return nullptr;
    }
    QPainter painter(canvas.get());
    if (focused) {
        painter.end();
        InvertDottedOutline(*canvas);
        painter.begin(canvas.get());
    }
    DrawFrame(painter, PixelRect{2, 2, 16, 16}, 2, swatch);
    const QFont font = ProgramFont(kRectRowFontHeight);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(ToQColor(kRectRowTextColor));
    const int textTop = static_cast<int>((size.height() - metrics.height()) * 0.5 + 0.5);
    painter.drawText(kRectRowTextLeft, textTop + metrics.ascent(), text);
    return canvas;
}

QString EditedRectText(const CCropRect& rect) {
    return QStringLiteral("(left, top)-(right, bottom) : %1").arg(rect.Format()).left(255);
}

CCropRectListBox::CCropRectListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setItemDelegate(new RectRowDelegate(this));
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ToQColor(kRectRowNormalColor));
    setPalette(colours);
}

void CCropRectListBox::InsertRow(int index, const QString& text, ColorRef swatch) {
    auto* item = new QListWidgetItem(text);
    item->setData(kSwatchRole, static_cast<uint>(swatch));
    insertItem(index, item);
}

void CCropRectListBox::RemoveRow(int index) {
    if (index < 0 || index >= count())
        return;
    const int selected = SelectedRow();
    delete takeItem(index);
    // The selection stays on the same position, when that still exists.
    clearSelection();
    if (selected >= 0)
        SelectRow(selected);
}

int CCropRectListBox::SelectedRow() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.front());
}

void CCropRectListBox::SelectRow(int index) {
    if (index < 0 || index >= count()) {
        clearSelection();
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

#include "app/CropRectList.h"

#include "croprects/CropRectListBox.h"

#include <algorithm>

CropRectList::CropRectList(QObject* parent) : QObject(parent) {}

void CropRectList::Add(const CCropRect& rect) {
    rects_.push_back(rect);
    Q_EMIT RowInserted(Count() - 1, rect.Format(), rect.color);
    Q_EMIT Changed();
}

void CropRectList::Insert(const CCropRect& rect, int index) {
    index = std::clamp(index, 0, Count());
    rects_.insert(rects_.begin() + index, rect);
    Q_EMIT RowInserted(index, EditedRectText(rect), rect.color);
    Q_EMIT Changed();
}

void CropRectList::Remove(int index) {
    if (index < 0 || index >= Count())
        return;
    rects_.erase(rects_.begin() + index);
    Q_EMIT RowRemoved(index);
    Q_EMIT Changed();
}

void CropRectList::ShowIn(CCropRectListBox* box) {
    connect(this, &CropRectList::RowInserted, box, &CCropRectListBox::InsertRow);
    connect(this, &CropRectList::RowRemoved, box, &CCropRectListBox::RemoveRow);
}

#pragma once

// The crop rectangles of the session, in order. Row i of the list box that
// shows them is rectangle i: ShowIn keeps a box in step with every change,
// so the view never changes one without the other.
//
// Threading: the owner's thread only (the batch gets a copy of Rects()).

#include "croprects/CropRect.h"

#include <QObject>

#include <vector>

class CCropRectListBox;

class CropRectList : public QObject {
    Q_OBJECT
  public:
    explicit CropRectList(QObject* parent = nullptr);

    const std::vector<CCropRect>& Rects() const { return rects_; }
    int Count() const { return static_cast<int>(rects_.size()); }
    bool IsEmpty() const { return rects_.empty(); }
    const CCropRect& At(int index) const { return rects_[static_cast<std::size_t>(index)]; }

    // Appends a rectangle as read from RECT.DAT or made by the add command;
    // its row shows CCropRect::Format().
    void Add(const CCropRect& rect);
    // Puts an edited rectangle at `index` (clamped to 0..Count()); its row
    // shows EditedRectText().
    void Insert(const CCropRect& rect, int index);
    // Removes rectangle `index`; an index out of range changes nothing.
    void Remove(int index);

    // Mirrors every later change in `box`, which starts empty and must
    // outlive this list or be destroyed with it.
    void ShowIn(CCropRectListBox* box);

  Q_SIGNALS:
    void RowInserted(int index, const QString& text, ColorRef color);
    void RowRemoved(int index);
    // After any change, once the rows agree again.
    void Changed();

  private:
    std::vector<CCropRect> rects_;
};

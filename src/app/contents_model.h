// The contents panel's tree as a view over the reader's own book contents: nothing is made per
// entry but a few numbers of the tree's shape, so a book of 100,000 entries costs next to nothing.
#pragma once

#include <QAbstractItemModel>
#include <QStyledItemDelegate>
#include <vector>

#include "book/book_trailer.h"

class QAbstractItemView;

namespace lectorix {

class ContentsModel : public QAbstractItemModel {
  public:
    // Reads `book`, which must outlive the model; Reset() after every change of it.
    explicit ContentsModel(const BookContents& book, QObject* parent = nullptr);

    // The book's contents changed (another book, new page numbers).
    void Reset();
    // The index of contents entry `entry`; invalid when there is none.
    QModelIndex IndexOfEntry(int entry) const;
    // No entry has children: the contents have no levels.
    bool IsFlat() const { return flat_; }
    // The contents entry of an index (Qt::UserRole gives the same), -1 for none.
    static int EntryOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    // The children of parent p (-1: the top level) are children_[first_[p + 1] ..
    // first_[p + 2]); row_[i] is node i's row under its parent. A tree without levels (every
    // node at the top) keeps none of them: node i is row i.
    int ChildCount(int parent) const;
    int RowOf(int node) const;

    const BookContents& book_;
    int count_ = 0;
    bool flat_ = false;
    std::vector<int> children_, first_, row_;
};

// The width an entry's text has in `view` as the style lays it out: the cell `rect`, as far as
// the panel shows it, less a margin each side. Wider, the entry is cut.
int EntryTextRoom(const QAbstractItemView& view, const QRect& rect);

// Draws an entry too long for the panel with its title cut, not its page number: "Title…
// стр.-N-" rather than "Title…".
class ContentsEntryDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace lectorix

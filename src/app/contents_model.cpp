#include "app/contents_model.h"

#include <QAbstractItemView>
#include <QStyle>
#include <algorithm>

#include "gui/text_codec.h"

namespace lectorix {

ContentsModel::ContentsModel(const BookContents& book, QObject* parent)
    : QAbstractItemModel(parent), book_(book) {
    Reset();
}

void ContentsModel::Reset() {
    beginResetModel();
    const auto& nodes = book_.Nodes;
    const int n = static_cast<int>(nodes.size());
    // A parent that is no earlier node (a damaged tree) puts the node at the top level, so the
    // tree can have no cycle.
    const auto parentOf = [&](int i) {
        const int p = nodes[static_cast<size_t>(i)].Parent;
        return p >= 0 && p < i ? p : -1;
    };
    count_ = n;
    flat_ = true;
    for (int i = 0; i < n && flat_; ++i)
        flat_ = parentOf(i) == -1;
    if (flat_) {
        std::vector<int>().swap(children_);
        std::vector<int>().swap(first_);
        std::vector<int>().swap(row_);
        endResetModel();
        return;
    }
    first_.assign(static_cast<size_t>(n) + 2, 0);
    for (int i = 0; i < n; ++i)
        ++first_[static_cast<size_t>(parentOf(i) + 2)];
    for (size_t k = 1; k < first_.size(); ++k)
        first_[k] += first_[k - 1];
    children_.resize(static_cast<size_t>(n));
    row_.resize(static_cast<size_t>(n));
    std::vector<int> next(first_.begin(), first_.end() - 1);
    for (int i = 0; i < n; ++i) {
        const size_t slot = static_cast<size_t>(parentOf(i) + 1);
        row_[static_cast<size_t>(i)] = next[slot] - first_[slot];
        children_[static_cast<size_t>(next[slot]++)] = i;
    }
    endResetModel();
}

int ContentsModel::ChildCount(int parent) const {
    if (flat_) return parent == -1 ? count_ : 0;
    const size_t slot = static_cast<size_t>(parent + 1);
    return slot + 1 < first_.size() ? first_[slot + 1] - first_[slot] : 0;
}

int ContentsModel::RowOf(int node) const {
    return flat_ ? node : row_[static_cast<size_t>(node)];
}

QModelIndex ContentsModel::IndexOfEntry(int entry) const {
    if (entry < 0 || entry >= count_) return {};
    return createIndex(RowOf(entry), 0, static_cast<quintptr>(entry));
}

int ContentsModel::EntryOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex ContentsModel::index(int row, int column, const QModelIndex& parent) const {
    const int p = parent.isValid() ? EntryOf(parent) : -1;
    if (column != 0 || row < 0 || row >= ChildCount(p)) return {};
    const int node =
        flat_ ? row : children_[static_cast<size_t>(first_[static_cast<size_t>(p + 1)] + row)];
    return createIndex(row, 0, static_cast<quintptr>(node));
}

QModelIndex ContentsModel::parent(const QModelIndex& child) const {
    const int node = EntryOf(child);
    if (node < 0 || node >= count_ || static_cast<size_t>(node) >= book_.Nodes.size()) return {};
    const int p = book_.Nodes[static_cast<size_t>(node)].Parent;
    return p >= 0 && p < node ? IndexOfEntry(p) : QModelIndex();
}

int ContentsModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return ChildCount(parent.isValid() ? EntryOf(parent) : -1);
}

int ContentsModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool ContentsModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
    const int entry = EntryOf(index);
    // Between a new book and the Reset() that follows it the view may still ask.
    if (entry < 0 || entry >= count_ || static_cast<size_t>(entry) >= book_.ContentsEntries.size())
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return FromCp1251(ContentsNodeText(book_, static_cast<size_t>(entry)));
        case Qt::UserRole:
            return entry;
        default:
            return {};
    }
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int EntryTextRoom(const QAbstractItemView& view, const QRect& rect) {
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return std::min(rect.right(), view.viewport()->width()) - rect.left() - 2 * margin;
}

void ContentsEntryDelegate::initStyleOption(QStyleOptionViewItem* option,
                                            const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto* view = qobject_cast<const QAbstractItemView*>(option->widget);
    if (!view) return;
    const int room = EntryTextRoom(*view, option->rect);
    const QFontMetrics& metrics = option->fontMetrics;
    if (metrics.horizontalAdvance(option->text) <= room) return;
    const qsizetype at = option->text.lastIndexOf(FromCp1251(kPagePrefix));
    if (at <= 0) return;
    const QString page = option->text.mid(at);
    // A pixel to spare, or the style would cut the page number after all.
    const int titleRoom = room - metrics.horizontalAdvance(page) - 1;
    if (titleRoom < 3 * metrics.horizontalAdvance(QChar(0x2026))) return;  // the style's cut
    option->text = metrics.elidedText(option->text.left(at), Qt::ElideRight, titleRoom) + page;
}

}  // namespace lectorix

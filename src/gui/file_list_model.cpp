#include "gui/file_list_model.h"

namespace gui {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_items.size())
    return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return m_items[index.row()];
  return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  return QAbstractListModel::flags(index) |
         (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

void FileListView::startDrag(Qt::DropActions) {
  if (dragOut)
    dragOut();
}

void FileListModel::append(const QStringList& items) {
  if (items.isEmpty())
    return;
  auto first = static_cast<int>(m_items.size());
  beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
  m_items.reserve(m_items.size() + items.size());
  for (const auto& item : items)
    m_items.push_back(item);
  endInsertRows();
}

void FileListModel::clear() {
  beginResetModel();
  m_items.clear();
  endResetModel();
}

QSize ExtentDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize base = QStyledItemDelegate::sizeHint(option, index);
  return {std::max(m_extent, 1), base.height()};
}

void ExtentDelegate::setExtent(int pixels) {
  if (pixels == m_extent)
    return;
  m_extent = pixels;
  emit sizeHintChanged(QModelIndex());
}

}  // namespace gui

// The file list's model: plain text items appended in batches, so loading ten thousand
// entries costs one insertion per batch instead of one per item. The delegate gives
// every row the list's horizontal extent as its width, which is how the list scrolls
// sideways to long items.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QVector>

namespace gui {

class FileListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  void append(const QStringList& items);
  void clear();

 private:
  QVector<QString> m_items;
};

class ExtentDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setExtent(int pixels);
  int extent() const { return m_extent; }

 private:
  int m_extent = 0;
};

}  // namespace gui

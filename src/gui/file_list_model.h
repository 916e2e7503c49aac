// The file list's model: plain text items appended in batches, so loading ten thousand
// entries costs one insertion per batch instead of one per item. The delegate gives
// every row the list's horizontal extent as its width, which is how the list scrolls
// sideways to long items.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <QVector>
#include <functional>

namespace gui {

class FileListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Items can be dragged out (what a drag carries is the window's to make).
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void append(const QStringList& items);
  void clear();

 private:
  QVector<QString> m_items;
};

// The file list: a drag of selected items hands over to `dragOut`.
class FileListView : public QListView {
  Q_OBJECT
 public:
  using QListView::QListView;
  std::function<void()> dragOut;

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
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

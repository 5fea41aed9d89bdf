#pragma once

// The "Tasks" pane: collapsible groups of keyed items, each calling one of
// the main window's dispatch procedures.

#include <QWidget>

class QVBoxLayout;

namespace vk {

class TaskDispatch;

// A task pane with keyed groups whose headers fold them away.
class TaskPane : public QWidget {
  Q_OBJECT
 public:
  explicit TaskPane(QWidget* parent = nullptr);
  void AddGroup(const QString& caption, const QString& key);
  void AddItem(const QString& groupKey, const QString& caption, const QString& key);

 signals:
  void ItemClick(const QString& key);

 private:
  QVBoxLayout* layout_;
};

class frmTasks : public QWidget {
  Q_OBJECT
 public:
  explicit frmTasks(TaskDispatch& dispatch, QWidget* parent = nullptr);
  // Runs the action of the item with that key; any other key does nothing.
  void ItemClick(const QString& key);

 private:
  TaskDispatch& dispatch_;
};

}  // namespace vk

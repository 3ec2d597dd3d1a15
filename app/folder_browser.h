#pragma once

#include <QDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTreeView>

namespace quillmark {

// A folder browser in the classic manner: the folder tree from its top
// and an edit field in which a folder may also be typed. The field holds
// the folder OK chooses: choosing a folder in the tree writes its path
// there, and a typed name that is not absolute counts from the folder
// chosen in the tree. Nothing is checked here; a folder that cannot be
// used is refused when a run starts.
class FolderBrowser : public QDialog {
  Q_OBJECT

 public:
  explicit FolderBrowser(QWidget* parent = nullptr);

  // The folder OK chooses.
  QString ChosenFolder() const;

 private:
  QString TreeFolder() const;

  QFileSystemModel* m_model;
  QTreeView* m_tree;
  QLineEdit* m_field;
};

}  // namespace quillmark

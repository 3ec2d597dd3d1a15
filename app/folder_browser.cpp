#include "folder_browser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_language.h"
#include "dialog_texts.h"
#include "dialog_units.h"

namespace quillmark {

FolderBrowser::FolderBrowser(QWidget* parent)
    : QDialog(parent),
      m_model(new QFileSystemModel(this)),
      m_tree(new QTreeView(this)),
      m_field(new QLineEdit(this)) {
  setWindowTitle(DialogText(dialog_text::kChangeOutputFolder));
  setFont(DialogFont());
  resize(DialogSizeToPixels(BaseUnitsOf(font()), 200, 160));

  m_model->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot);
  m_model->setRootPath(QDir::rootPath());
  m_tree->setObjectName(QStringLiteral("folderTree"));
  m_tree->setModel(m_model);
  m_tree->setHeaderHidden(true);
  for (int column = 1; column < m_model->columnCount(); ++column)
    m_tree->hideColumn(column);
  // The top of the folder tree, open, and chosen.
  const QModelIndex top = m_model->index(QDir::rootPath());
  m_tree->setCurrentIndex(top);
  m_tree->expand(top);
  m_field->setObjectName(QStringLiteral("folderEdit"));
  m_field->setText(TreeFolder());
  connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { m_field->setText(TreeFolder()); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tree);
  layout->addWidget(m_field);
  layout->addWidget(buttons);
  m_field->setFocus();
}

QString FolderBrowser::TreeFolder() const {
  const QModelIndex current = m_tree->currentIndex();
  return current.isValid() ? m_model->filePath(current) : QDir::rootPath();
}

QString FolderBrowser::ChosenFolder() const {
  const QString typed = m_field->text();
  if (typed.isEmpty())
    return TreeFolder();
  if (QDir::isAbsolutePath(typed))
    return typed;
  return QDir(TreeFolder()).filePath(typed);
}

}  // namespace quillmark

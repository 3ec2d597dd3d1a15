#include "system_menu.h"

#include "dialog_language.h"
#include "dialog_texts.h"

namespace quillmark {
namespace {

QString MenuText(const char* source) {
  return QCoreApplication::translate("quillmark::SystemMenu", source);
}

}  // namespace

std::unique_ptr<QMenu> BuildSystemMenu(QWidget* parent, std::function<void(unsigned)> send,
                                       bool verifyEnabled) {
  auto menu = std::make_unique<QMenu>(parent);
  menu->setSeparatorsCollapsible(false);
  QAction* close =
      menu->addAction(MenuText(QT_TRANSLATE_NOOP("quillmark::SystemMenu", "关闭(&C)")));
  close->setData(kCloseCommand);
  menu->addSeparator();
  QAction* verify = menu->addAction(MenuText(kVerifyMenuText));
  verify->setData(kVerifyCommand);
  verify->setEnabled(verifyEnabled);
  QAction* about = menu->addAction(DialogText(dialog_text::kAboutMenu));
  about->setData(kAboutCommand);
  QObject::connect(menu.get(), &QMenu::triggered, menu.get(),
                   [send = std::move(send)](QAction* action) { send(action->data().toUInt()); });
  return menu;
}

}  // namespace quillmark

#include "system_menu.h"

namespace quillmark {

std::unique_ptr<QMenu> BuildSystemMenu(QWidget* parent, std::function<void(unsigned)> send) {
  auto menu = std::make_unique<QMenu>(parent);
  menu->setSeparatorsCollapsible(false);
  QAction* close = menu->addAction(QStringLiteral("关闭(&C)"));
  close->setData(kCloseCommand);
  menu->addSeparator();
  QAction* about = menu->addAction(QString::fromUtf8(kAboutMenuText));
  about->setData(kAboutCommand);
  QObject::connect(menu.get(), &QMenu::triggered, menu.get(),
                   [send = std::move(send)](QAction* action) { send(action->data().toUInt()); });
  return menu;
}

}  // namespace quillmark

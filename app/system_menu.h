#pragma once

#include <QCoreApplication>
#include <QMenu>
#include <QWidget>
#include <functional>
#include <memory>

namespace quillmark {

// System commands the dialog knows. The platform keeps the four low bits
// of a system command for itself, so commands match with them cleared.
inline constexpr unsigned kAboutCommand = 0x0010;
inline constexpr unsigned kVerifyCommand = 0x0020;
inline constexpr unsigned kCloseCommand = 0xF060;

constexpr bool IsAboutCommand(unsigned command) {
  return (command & 0xFFF0) == kAboutCommand;
}
constexpr bool IsVerifyCommand(unsigned command) {
  return (command & 0xFFF0) == kVerifyCommand;
}
constexpr bool IsCloseCommand(unsigned command) {
  return (command & 0xFFF0) == kCloseCommand;
}

// The verify item's source text, with V as its mnemonic; the menu shows
// it in the dialog's language.
inline constexpr char kVerifyMenuText[] =
    QT_TRANSLATE_NOOP("quillmark::SystemMenu", "校验输出目录(&V)");
// The about item's text is the Windows dialog's as well: dialog_text::kAboutMenu.

// The window manager owns the real system menu here, so the dialog offers
// the same items itself: Close, a separator, the verify item and the about
// item. Choosing one sends its command; the verify item is offered only
// when verifyEnabled (no run or check goes on).
std::unique_ptr<QMenu> BuildSystemMenu(QWidget* parent, std::function<void(unsigned)> send,
                                       bool verifyEnabled = true);

}  // namespace quillmark

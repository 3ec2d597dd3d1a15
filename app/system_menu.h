#pragma once

#include <QMenu>
#include <QWidget>
#include <functional>
#include <memory>

namespace quillmark {

// System commands the dialog knows. The platform keeps the four low bits
// of a system command for itself, so commands match with them cleared.
inline constexpr unsigned kAboutCommand = 0x0010;
inline constexpr unsigned kCloseCommand = 0xF060;

constexpr bool IsAboutCommand(unsigned command) {
  return (command & 0xFFF0) == kAboutCommand;
}
constexpr bool IsCloseCommand(unsigned command) {
  return (command & 0xFFF0) == kCloseCommand;
}

// The about item's text, with A as its mnemonic.
inline constexpr char kAboutMenuText[] = "关于 Quillmark(&A)...";

// The window manager owns the real system menu here, so the dialog offers
// the same items itself: Close, a separator and the about item. Choosing
// one sends its command.
std::unique_ptr<QMenu> BuildSystemMenu(QWidget* parent, std::function<void(unsigned)> send);

}  // namespace quillmark

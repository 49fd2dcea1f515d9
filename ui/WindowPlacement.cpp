// Centring of top-level windows on the screen.
#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace morvex {

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect screenArea = screen->geometry();
  const QSize outer = window.frameGeometry().size();
  // Halves round toward the top left, as the pixel grid forces one way or the other.
  const int left = screenArea.left() + (screenArea.width() - outer.width()) / 2;
  const int top = screenArea.top() + (screenArea.height() - outer.height()) / 2;
  window.move(left, top);
}

}  // namespace morvex

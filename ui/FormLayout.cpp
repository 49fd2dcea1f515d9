// The dialog font and the centring of top-level windows.
#include "FormLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace morvex {

QFont DialogFont(bool bBold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                    QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  font.setBold(bBold);
  return font;
}

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

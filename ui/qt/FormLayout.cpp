// The dialog font and the centring of top-level windows.
#include "FormLayout.h"

#include <QEvent>
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

namespace {

bool HasFrame(const QWidget& window) { return window.frameGeometry() != window.geometry(); }

// Waits on the window's own events for its frame, centres it once and goes. On a window that never gets a
// frame it stays and never acts, so a user's later moves are left alone either way.
class FrameCentring : public QObject {
 public:
  static constexpr const char* kName = "morvexFrameCentring";

  explicit FrameCentring(QWidget& window) : QObject(&window), window_(window) {
    setObjectName(QLatin1String(kName));
    window.installEventFilter(this);
  }

  static bool Waiting(const QWidget& window) {
    return window.findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly) != nullptr;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (watched == &window_ && (type == QEvent::Move || type == QEvent::Resize) && HasFrame(window_)) {
      window_.removeEventFilter(this);
      setObjectName(QString());
      deleteLater();
      CentreOnScreen(window_);
    }
    return false;
  }

 private:
  QWidget& window_;
};

}  // namespace

void CentreOnScreenOnceFramed(QWidget& window) {
  CentreOnScreen(window);
  if (!HasFrame(window) && !FrameCentring::Waiting(window)) new FrameCentring(window);
}

}  // namespace morvex

// Message boxes for the search's messages.
#include "MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "QtText.h"

namespace morvex {

QWidget* MessageBoxSink::BoxOwner() const {
  if (progress_ && progress_->isVisible()) return progress_.data();
  QWidget* owner = owner_ ? owner_.data() : QApplication::activeWindow();
  // A hidden owner (the main window closed during a run) would leave the box without a place on screen.
  if (owner != nullptr && !owner->isVisible()) owner = nullptr;
  return owner;
}

void MessageBoxSink::ShowMessage(std::string_view sMessage) {
  QString text = ToQString(sMessage);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Morvex"), text, QMessageBox::Ok, BoxOwner());
  // Paths and property values come from project files; "<" in them must never be read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  // The run is busy below this call and the user's last click went to another window, so the box asks for the
  // front and the keyboard itself once it is up.
  QTimer::singleShot(0, &box, [&box] {
    box.raise();
    box.activateWindow();
  });
  box.exec();
}

}  // namespace morvex

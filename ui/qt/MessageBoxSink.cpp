// Message boxes for the search's messages.
#include "MessageBoxSink.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
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

int MessageBoxSink::Ask(std::string_view sText, int buttons, int defaultButton) const {
  QString text = ToQString(sText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Morvex"), text, QMessageBox::StandardButtons(buttons),
                  BoxOwner());
  box.setDefaultButton(static_cast<QMessageBox::StandardButton>(defaultButton));
  // Paths and property values come from project files; "<" in them must never be read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  // The run is busy below this call and the user's last click went to another window, so the box asks for the
  // front and the keyboard itself once it is up.
  QTimer::singleShot(0, &box, [&box] {
    box.raise();
    box.activateWindow();
  });
  return box.exec();
}

void MessageBoxSink::ShowMessage(std::string_view sMessage) { Ask(sMessage, QMessageBox::Ok, QMessageBox::Ok); }

void MessageBoxSink::ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                                             const std::function<std::string()>& makeCopy) {
  // No is the default: Enter pressed out of habit must not overwrite what the user keeps on the clipboard.
  const std::string text = std::string(sMessage) + "\r\n\r\n" + std::string(sQuestion);
  if (Ask(text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) return;
  QGuiApplication::clipboard()->setText(ToQString(makeCopy()));
}

}  // namespace morvex

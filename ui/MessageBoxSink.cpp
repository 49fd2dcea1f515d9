// Message boxes for the search's messages.
#include "MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>

#include "QtText.h"

namespace morvex {

void MessageBoxSink::ShowMessage(const std::u16string& sMessage) {
  QWidget* owner = owner_ ? owner_.data() : QApplication::activeWindow();
  // A hidden owner (the main window closed during a run) would leave the box without a place on screen.
  if (owner != nullptr && !owner->isVisible()) owner = nullptr;
  QString text = ToQString(sMessage);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Morvex"), text, QMessageBox::Ok, owner);
  // Paths and property values come from project files; "<" in them must never be read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace morvex

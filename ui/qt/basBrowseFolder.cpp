// The folder browser behind Browse.
#include "basBrowseFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "QtText.h"

namespace basBrowseFolder {

namespace {

QString StartFolder(const QString& startPath) {
  if (!startPath.isEmpty() && QFileInfo(startPath).isDir()) return QFileInfo(startPath).absoluteFilePath();
  return QDir::homePath();
}

// The dialog reports folders with "/" and no trailing separator except for the root; keep it that way but
// never hand back a relative or doubled-up spelling.
QString CleanFolderPath(const QString& chosen) {
  if (chosen.isEmpty()) return chosen;
  return QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
}

}  // namespace

std::string BrowseFolder(QWidget* owner, const std::string& sTitle, const std::string& sStartPath,
                         bool bNewStyle) {
  if (owner == nullptr) owner = QApplication::activeWindow();
  const QString title = morvex::ToQString(sTitle);

  QFileDialog dialog(owner, title, StartFolder(morvex::ToQString(sStartPath)));
  // The toolkit's own dialog everywhere: the same behaviour on every desktop and reachable from tests.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setLabelText(QFileDialog::LookIn, title);
  dialog.setSizeGripEnabled(bNewStyle);
  dialog.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

  if (dialog.exec() != QDialog::Accepted) return sStartPath;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::string();
  return morvex::ToUtf8(CleanFolderPath(chosen.constFirst()));
}

}  // namespace basBrowseFolder

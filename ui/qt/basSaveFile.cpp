// The Qt save dialog for a report.
#include "basSaveFile.h"

#include <QFileDialog>
#include <QStringList>

#include "QtText.h"

namespace morvex::basSaveFile {

namespace {

const QString kTsvFilter = QStringLiteral("Tab-separated text (*.tsv *.txt)");
const QString kHtmlFilter = QStringLiteral("HTML report (*.html *.htm)");

}  // namespace

bool ChooseSaveFile(QWidget* owner, bool bHtmlOffered, std::string& path, SavedFormat& format) {
  QStringList filters{kTsvFilter};
  if (bHtmlOffered) filters << kHtmlFilter;
  QString chosenFilter = kTsvFilter;
  const QString chosen = QFileDialog::getSaveFileName(owner, QStringLiteral("Save report"), QString(),
                                                      filters.join(QStringLiteral(";;")), &chosenFilter);
  if (chosen.isEmpty()) return false;
  format = chosenFilter == kHtmlFilter ? SavedFormat::kHtml : SavedFormat::kTsv;
  path = WithExtension(ToUtf8(chosen), format);
  return true;
}

}  // namespace morvex::basSaveFile

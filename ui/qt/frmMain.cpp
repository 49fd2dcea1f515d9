// The main window: layout, settings, and the hand-off of Start and Browse to the search and the picker.
#include "frmMain.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <utility>

#include "AboutText.h"
#include "FormLayout.h"
#include "FrontEndRules.h"
#include "HtmlReport.h"
#include "QtText.h"
#include "Version.h"
#include "basSaveFile.h"

namespace morvex {

QIcon MorvexIcon() {
  // Every size the build rendered from the drawing: the title bar and the task switcher each pick their own.
  QIcon icon;
  const QDir images(QStringLiteral(":/icons"));
  for (const QString& name : images.entryList(QDir::Files)) icon.addFile(images.filePath(name));
  return icon;
}

ValueCheckBox::ValueCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
  // Tristate only so that a stored 2 can show greyed; nextCheckState keeps the user to 0 and 1.
  setTristate(true);
}

int ValueCheckBox::Value() const {
  switch (checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
  }
  return 0;
}

void ValueCheckBox::SetValue(int nValue) {
  setCheckState(nValue == 0 ? Qt::Unchecked : (nValue == 2 ? Qt::PartiallyChecked : Qt::Checked));
}

void ValueCheckBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

frmMain::frmMain(ProgressInterface& progress, SearchRunner runSearch, FolderBrowser browseFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      progress_(progress),
      runSearch_(std::move(runSearch)),
      browseFolder_(std::move(browseFolder)),
      chooseSaveFile_(basSaveFile::ChooseSaveFile) {
  createControls();
  createTabOrder();
  loadSettings();
  setCaptionFromVersion();
  CentreOnScreen(*this);
}

void frmMain::createControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Veltra Tarvo Reserved Keyword Search"));
  setWindowIcon(MorvexIcon());
  setFixedSize(TwipsToPixels(8400), TwipsToPixels(7080));
  setFont(DialogFont());

  Label1_ = new QLabel(QStringLiteral("[User] Path"), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setGeometry(TwipsRect(240, 240, 795, 195));
  Label1_->setToolTip(QStringLiteral("Location of MASTER.DBF containing the projects to be searched"));

  txtUserPath_ = new QLineEdit(this);
  txtUserPath_->setObjectName(QStringLiteral("txtUserPath"));
  txtUserPath_->setGeometry(TwipsRect(240, 480, 6735, 375));
  // Screen readers name the box by the label that has it as its buddy.
  Label1_->setBuddy(txtUserPath_);

  cmdBrowse_ = new QPushButton(QStringLiteral("Browse..."), this);
  cmdBrowse_->setObjectName(QStringLiteral("cmdBrowse"));
  cmdBrowse_->setGeometry(TwipsRect(7080, 480, 1095, 375));

  chkShowAllInstances_ = new ValueCheckBox(QStringLiteral("Show all tarvo instances on pages"), this);
  chkShowAllInstances_->setObjectName(QStringLiteral("chkShowAllInstances"));
  chkShowAllInstances_->setGeometry(TwipsRect(240, 960, 3015, 255));
  chkShowAllInstances_->setToolTip(QStringLiteral("If unchecked, only unique tarvos will be listed"));

  chkIgnoreBuiltInProjects_ = new ValueCheckBox(QStringLiteral("Ignore Built-In Projects"), this);
  chkIgnoreBuiltInProjects_->setObjectName(QStringLiteral("chkIgnoreBuiltInProjects"));
  chkIgnoreBuiltInProjects_->setGeometry(TwipsRect(3480, 960, 3015, 255));
  chkIgnoreBuiltInProjects_->setToolTip(QStringLiteral("Skip Example, Include, ZRM_..."));

  cmdSearch_ = new QPushButton(QStringLiteral("Start"), this);
  cmdSearch_->setObjectName(QStringLiteral("cmdSearch"));
  cmdSearch_->setGeometry(TwipsRect(7080, 960, 1095, 375));

  Label3_ = new QLabel(QStringLiteral("Items Found"), this);
  Label3_->setObjectName(QStringLiteral("Label3"));
  Label3_->setGeometry(TwipsRect(240, 1320, 870, 195));

  // Beside the box's caption, never in the box: what a user copies stays the report alone.
  lblRunNote_ = new QLabel(this);
  lblRunNote_->setObjectName(QStringLiteral("lblRunNote"));
  lblRunNote_->setGeometry(TwipsRect(1320, 1320, 6855, 195));
  lblRunNote_->hide();  // a label with nothing to say would be a nameless one to screen readers

  txtFound_ = new ReportView(this);
  txtFound_->setObjectName(QStringLiteral("txtFound"));
  txtFound_->setAccessibleName(Label3_->text());
  txtFound_->setGeometry(TwipsRect(240, 1560, 7935, 5295));

  // Nothing stands to the right of the two captions, so a desktop font wider than the design's may widen them
  // instead of clipping them.
  for (QLabel* label : {Label1_, Label3_}) label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

  // Enter and Escape belong to the text boxes, never to a button.
  for (QPushButton* button : {cmdBrowse_, cmdSearch_}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  // Greyed during a run: their modal loops, opened inside a run's Update, would hold the run until closed.
  actSaveReport_ = new QAction(QStringLiteral("&Save report..."), this);
  actSaveReport_->setObjectName(QStringLiteral("save-report"));
  actAbout_ = new QAction(QStringLiteral("&About Morvex..."), this);
  actAbout_->setObjectName(QStringLiteral("about"));
  txtFound_->AddMenuAction(actSaveReport_);
  txtFound_->AddMenuAction(actAbout_);
  connect(actSaveReport_, &QAction::triggered, this, &frmMain::onSaveReport);
  connect(actAbout_, &QAction::triggered, this, &frmMain::onAbout);
  enableMenuActions();

  connect(cmdSearch_, &QPushButton::clicked, this, &frmMain::onSearchClicked);
  connect(cmdBrowse_, &QPushButton::clicked, this, &frmMain::onBrowseClicked);
}

void frmMain::createTabOrder() {
  // The keyboard walks the controls that take the focus in their design order, starting at the path box.
  setTabOrder(txtUserPath_, txtFound_);
  setTabOrder(txtFound_, cmdSearch_);
  setTabOrder(cmdSearch_, chkShowAllInstances_);
  setTabOrder(chkShowAllInstances_, cmdBrowse_);
  setTabOrder(cmdBrowse_, chkIgnoreBuiltInProjects_);
  txtUserPath_->setFocus();
}

int frmMain::CheckValueFromSetting(const QString& sStored) {
  // Qt knows more blanks than ASCII's; the rest of the rule is the one every front end shares.
  return morvex::CheckValueFromSetting(ToUtf8(sStored.trimmed()));
}

void frmMain::loadSettings() {
  QSettings settings(QString::fromLatin1(kSettingsApplication), QString::fromLatin1(kSettingsApplication));
  settings.beginGroup(QString::fromLatin1(kSettingsSection));
  txtUserPath_->setText(settings.value(QStringLiteral("UserPath"), QString()).toString());
  chkShowAllInstances_->SetValue(
      CheckValueFromSetting(settings.value(QStringLiteral("ShowInstances"), QStringLiteral("1")).toString()));
  chkIgnoreBuiltInProjects_->SetValue(
      CheckValueFromSetting(settings.value(QStringLiteral("IgnoreBuiltInProjects"), QStringLiteral("1")).toString()));
}

void frmMain::saveSettings() const {
  QSettings settings(QString::fromLatin1(kSettingsApplication), QString::fromLatin1(kSettingsApplication));
  settings.beginGroup(QString::fromLatin1(kSettingsSection));
  settings.setValue(QStringLiteral("UserPath"), txtUserPath_->text());
  settings.setValue(QStringLiteral("ShowInstances"), QString::number(chkShowAllInstances_->Value()));
  settings.setValue(QStringLiteral("IgnoreBuiltInProjects"), QString::number(chkIgnoreBuiltInProjects_->Value()));
  settings.endGroup();
  settings.sync();
}

void frmMain::setCaptionFromVersion() {
  setWindowTitle(QStringLiteral("Veltra Tarvo Reserved Keyword Search v%1.%2.%3 %4")
                     .arg(kVersionMajor)
                     .arg(kVersionMinor)
                     .arg(kVersionRevision)
                     .arg(QString::fromUtf8(kVersionComment)));
}

void frmMain::onSearchClicked() {
  // A run yields only inside the progress window's Update; a second run started there would share and then
  // release the automation object under the first.
  if (runInProgress_) return;
  lblRunNote_->clear();
  lblRunNote_->hide();
  {
    FlagGuard running(runInProgress_);
    enableMenuActions();
    lastRun_ = {};
    lastRun_.siteFolder = ToUtf8(txtUserPath_->text());
    lastRun_.scanTime = UtcTimeText(std::chrono::system_clock::now());
    lastRun_.result = runSearch_(lastRun_.siteFolder, chkShowAllInstances_->Value() == 1,
                                 chkIgnoreBuiltInProjects_->Value() == 1);
    lastRun_.ran = true;
  }
  txtFound_->SetText(lastRun_.result.Report());
  lblRunNote_->setText(ToQString(ReportCompletenessNote(lastRun_.result.outcome)));
  lblRunNote_->setVisible(!lblRunNote_->text().isEmpty());
  enableMenuActions();
  if (closedDuringRun_) {
    // A run that failed leaves its progress window up; with the main window gone nothing would close it.
    if (progress_.Shown()) progress_.Close();
  }
}

void frmMain::onBrowseClicked() {
  if (runInProgress_) return;
  txtUserPath_->setText(ToQString(browseFolder_(this, "Select User Folder", ToUtf8(txtUserPath_->text()), false)));
}

void frmMain::enableMenuActions() {
  actSaveReport_->setEnabled(!runInProgress_ && CanSave(lastRun_));
  actAbout_->setEnabled(!runInProgress_);
}

void frmMain::onSaveReport() {
  if (runInProgress_ || !CanSave(lastRun_)) return;
  std::string path;
  SavedFormat format = SavedFormat::kTsv;
  if (!chooseSaveFile_(this, CanSaveHtml(lastRun_), path, format)) return;
  if (std::string error; !SaveReport(lastRun_, format, path, error)) {
    QMessageBox::warning(this, QStringLiteral("Save report"),
                         ToQString("The report could not be saved to " + path + ":\n" + error +
                                   ".\n\nNothing was written; a file already there is as it was."));
  }
}

void frmMain::onAbout() {
  if (runInProgress_) return;
  const QSettings settings(QString::fromLatin1(kSettingsApplication), QString::fromLatin1(kSettingsApplication));
  const std::string about = AboutText(kOwnPageServerDescription, ToUtf8(settings.fileName()),
                                      "/usr/share/doc/morvex/copyright", false, "\n");
  QMessageBox::about(this, QStringLiteral("About Morvex"), ToQString(about));
}

void frmMain::setVisible(bool visible) {
  const bool first = visible && !shownOnce_;
  QWidget::setVisible(visible);
  if (!first) return;
  shownOnce_ = true;
  // Centred by its client size while it was built; the outer frame, title bar included, is what belongs in
  // the middle of the screen.
  CentreOnScreenOnceFramed(*this);
}

void frmMain::closeEvent(QCloseEvent* event) {
  saveSettings();
  if (runInProgress_) {
    // The run is waiting inside Update below this call; it stops after its current page and the Start
    // handler then tidies up once it returns.
    closedDuringRun_ = true;
    progress_.PressCancel();
  } else if (progress_.Shown()) {
    progress_.Close();
  }
  event->accept();
}

}  // namespace morvex

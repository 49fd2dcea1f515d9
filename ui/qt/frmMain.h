// frmMain: the main window: the folder box, the two search options, Start, Browse and the results box.
#pragma once

#include <QCheckBox>
#include <QWidget>
#include <functional>
#include <string>

#include "ProgressInterface.h"
#include "ReportView.h"
#include "SavedReport.h"
#include "basSearch.h"

class QAction;
class QIcon;
class QLabel;
class QPushButton;
class QLineEdit;

namespace morvex {

// The application's icon in every size the build rendered, for the main window and every other window.
QIcon MorvexIcon();

// A check box holding 0 (clear), 1 (ticked) or 2 (greyed). Only a stored value can grey it; a click turns
// any value other than ticked into ticked and ticked into clear.
class ValueCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  ValueCheckBox(const QString& caption, QWidget* parent);
  int Value() const;
  void SetValue(int nValue);

 protected:
  void nextCheckState() override;
};

class frmMain : public QWidget {
  Q_OBJECT
 public:
  // (folder, show-all flag, ignore-built-in flag) → report text.
  using SearchRunner = std::function<SearchResult(const std::string&, bool, bool)>;
  // (owner, title, start path, new-style flag) → path for the folder box.
  using FolderBrowser = std::function<std::string(QWidget*, const std::string&, const std::string&, bool)>;

  // progress is the application's progress object: the window cancels a run through it when it closes.
  frmMain(ProgressInterface& progress, SearchRunner runSearch, FolderBrowser browseFolder, QWidget* parent = nullptr);

  // (owner, HTML offered, path, format) → false when the user cancelled; the file dialog unless a test sets one.
  using SaveFileChooser = std::function<bool(QWidget*, bool, std::string&, SavedFormat&)>;
  void SetSaveFileChooser(SaveFileChooser chooseFile) { chooseSaveFile_ = std::move(chooseFile); }

  bool RunInProgress() const { return runInProgress_; }

  // Settings location: application "Morvex", section "Settings".
  static constexpr const char* kSettingsApplication = "Morvex";
  static constexpr const char* kSettingsSection = "Settings";
  // A stored check-box text turned into 0, 1 or 2; anything else (not a number, out of range) gives 1.
  static int CheckValueFromSetting(const QString& sStored);

  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  void createTabOrder();
  void loadSettings();
  void saveSettings() const;
  void setCaptionFromVersion();
  void onSearchClicked();
  void onBrowseClicked();
  void onSaveReport();
  void onAbout();
  void enableMenuActions();

  ProgressInterface& progress_;
  SearchRunner runSearch_;
  FolderBrowser browseFolder_;
  SaveFileChooser chooseSaveFile_;
  SavedRun lastRun_;  // what Save report... saves
  bool runInProgress_ = false;
  bool closedDuringRun_ = false;
  bool shownOnce_ = false;

  QLabel* Label1_ = nullptr;
  QLineEdit* txtUserPath_ = nullptr;
  QPushButton* cmdBrowse_ = nullptr;
  ValueCheckBox* chkShowAllInstances_ = nullptr;
  ValueCheckBox* chkIgnoreBuiltInProjects_ = nullptr;
  QPushButton* cmdSearch_ = nullptr;
  QLabel* Label3_ = nullptr;
  QLabel* lblRunNote_ = nullptr;
  ReportView* txtFound_ = nullptr;
  QAction* actSaveReport_ = nullptr;
  QAction* actAbout_ = nullptr;
};

}  // namespace morvex

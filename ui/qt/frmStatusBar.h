// frmStatusBar: the progress window, the application's one progress object, with its percentage bar.
#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>

#include "ProgressInterface.h"

class QLabel;
class QPushButton;

namespace morvex {

// Lets screen readers find the drawing box as a progress bar named "Progress" with its percentage as value.
void InstallStatusBarAccessibility();

// The sunken drawing box; it only shows the picture that frmStatusBar draws into it.
class StatusBarPicture : public QFrame {
  Q_OBJECT
 public:
  explicit StatusBarPicture(QWidget* parent);
  const QImage& Picture() const { return picture_; }
  QImage& Picture() { return picture_; }
  // The percentage the picture shows, for screen readers, which cannot read a drawing.
  int32_t Percent() const { return percent_; }
  void SetPercent(int32_t nPercent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  int32_t percent_ = 0;
};

class frmStatusBar : public QWidget, public ProgressInterface {
  Q_OBJECT
 public:
  explicit frmStatusBar(QWidget* parent = nullptr);

  void Title(std::string_view sTitle) override;
  std::string Title() const override;
  void Show() override;
  void Close() override;
  bool Shown() const override { return loaded_; }

  // The bar as last drawn (293 × 13 pixels at 96 dpi), for checks that do not read the screen.
  const QImage& BarPicture() const { return picStatusBar_->Picture(); }

  // Draws the bar and its label for an already clamped percentage into picture; the same drawing the window
  // shows, kept separate so its pixels can be checked without a screen.
  static void DrawBar(QImage& picture, int32_t nPercent);

 protected:
  void SetLine(int index, std::string_view sText) override;
  std::string Line(int index) const override;
  void ShowPercent(int32_t nPercent) override;
  void ProcessEvents() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  void loadDesignState();
  void showLinesNowOrSoon();
  void showLines();

  std::array<QLabel*, 3> lblProgress_{};
  // The lines as the run wrote them; the labels catch up at most once per frame (kLineFrameMs), because a run
  // rewrites them for every page and finding, far faster than anyone can read, and each label paint is costly.
  static constexpr int kLineFrameMs = 16;
  std::array<std::string, 3> lines_;
  QElapsedTimer linesShownAt_;
  QTimer linesCatchUp_;
  StatusBarPicture* picStatusBar_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  static constexpr int32_t kNothingShown = -1;
  int32_t shownPercent_ = kNothingShown;  // the percentage the picture holds, if any
  bool loaded_ = false;
  bool closingByRun_ = false;
  // True while the run lets its pending events through (Update, and the cancel poll after a page that failed
  // to open): the only time user input reaches this window while a run is going, since a run's message boxes
  // are modal and block it.
  bool processingRunEvents_ = false;
};

}  // namespace morvex

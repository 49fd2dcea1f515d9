// Helpers for the window tests: driving modal dialogs from a timer and a progress object without a screen.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "ProgressInterface.h"

namespace morvex::testing {

// Waits (from the event loop of whatever modal dialog opens next) for a modal widget and hands it to action
// once. Lives until the action ran or the test ends.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> action) : action_(std::move(action)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible()) return;
      timer_.stop();
      ++handled_;
      action_(modal);
    });
    timer_.start();
  }
  int Handled() const { return handled_; }

 private:
  std::function<void(QWidget*)> action_;
  QTimer timer_;
  int handled_ = 0;
};

// Keeps closing every modal dialog that shows up, counting them; for runs that may show several messages.
// inspect, when given, sees each dialog just before it is closed.
class ModalDismisser {
 public:
  explicit ModalDismisser(std::function<void(QWidget*)> inspect = nullptr) : inspect_(std::move(inspect)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible()) return;
      titles_.push_back(modal->windowTitle());
      if (inspect_) inspect_(modal);
      modal->close();
    });
    timer_.start();
  }
  const QStringList& Titles() const { return titles_; }

 private:
  std::function<void(QWidget*)> inspect_;
  QTimer timer_;
  QStringList titles_;
};

// A progress object with no window: records what the run did to it.
class MemoryProgress : public ProgressInterface {
 public:
  void Title(std::string_view sTitle) override { title_ = sTitle; }
  std::string Title() const override { return title_; }
  void Show() override { shown_ = true; }
  void Close() override { shown_ = false; ++closeCount; }
  bool Shown() const override { return shown_; }
  int closeCount = 0;

 protected:
  void SetLine(int index, std::string_view sText) override { lines_[static_cast<size_t>(index)] = sText; }
  std::string Line(int index) const override { return lines_[static_cast<size_t>(index)]; }
  void ShowPercent(int32_t) override {}
  void ProcessEvents() override { QApplication::processEvents(); }

 private:
  std::string title_;
  std::array<std::string, 3> lines_;
  bool shown_ = false;
};

}  // namespace morvex::testing

// The window's message boxes: OK, or Yes/No for an offer to copy, caption "Morvex", modal, plain text.
#pragma once

#include <QPointer>
#include <QWidget>

#include "MessageSink.h"

namespace morvex {

class MessageBoxSink : public MessageSink {
 public:
  // Boxes are owned by this window when it is set and still alive, else by the active window.
  explicit MessageBoxSink(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  // The always-on-top progress window: while it is on screen it owns the boxes, because a window manager keeps
  // it above a box owned by any other window, and the user would face a hidden modal box and a dead Cancel.
  void SetProgressWindow(QWidget* progress) { progress_ = progress; }

  void ShowMessage(std::string_view sMessage) override;
  // Yes copies to the application's clipboard; No, the default, and Escape leave it alone.
  void ShowMessageOfferingCopy(std::string_view sMessage, std::string_view sQuestion,
                               const std::function<std::string()>& makeCopy) override;

  // The window a box opened now would belong to; null when no visible window can take it.
  QWidget* BoxOwner() const;

 private:
  QPointer<QWidget> owner_;
  QPointer<QWidget> progress_;

  // Shows the box modal in front and gives back the button that closed it.
  int Ask(std::string_view sText, int buttons, int defaultButton) const;
};

}  // namespace morvex

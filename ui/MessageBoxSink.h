// The window's message boxes: OK only, caption "Morvex", modal, plain text.
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

  void ShowMessage(const std::u16string& sMessage) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace morvex

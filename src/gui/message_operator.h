// Operator messages as message boxes that never hold the server: each box is
// shown without a modal loop, so a job runs on while it is open, and a text
// already on screen is not shown twice (a failing port would otherwise pile
// up one box per poll). Every message also goes to standard error.
#pragma once

#include <QPointer>
#include <QString>
#include <map>
#include <string_view>

#include "base/operator.h"

class QMessageBox;
class QWidget;

namespace dovevid::gui {

class MessageOperator : public Operator {
 public:
  // More open boxes than this and a message goes to standard error only.
  static constexpr int kMaxOpenBoxes = 12;

  void ShowMessage(std::string_view text) override;
  // Boxes are owned by `window` once it exists.
  void SetWindow(QWidget* window) { window_ = window; }

 private:
  QPointer<QWidget> window_;
  std::map<QString, QPointer<QMessageBox>> open_;
};

}  // namespace dovevid::gui

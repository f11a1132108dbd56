#include "gui/message_operator.h"

#include <QMessageBox>
#include <iostream>

#include "gui/record_text.h"

namespace dovevid::gui {

void MessageOperator::ShowMessage(std::string_view text) {
  std::cerr << "dovevid: " << text << std::endl;
  std::erase_if(open_,
                [](const auto& entry) { return !entry.second || !entry.second->isVisible(); });
  const QString shown = FromRecord(text);
  if (const auto it = open_.find(shown); it != open_.end()) {
    it->second->raise();
    return;
  }
  if (static_cast<int>(open_.size()) >= kMaxOpenBoxes) return;
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("DovEvid1"), shown,
                              QMessageBox::Ok, window_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();  // not exec(): the caller, maybe a job, goes on at once
  open_.emplace(shown, box);
}

}  // namespace dovevid::gui

// The settings record and the server's messages are 8-bit Windows-1252 text;
// the widgets show Unicode. These convert at the window's edge, and only here.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QValidator>
#include <string>
#include <string_view>

namespace dovevid::gui {

QString FromRecord(std::string_view bytes);
// Characters Windows-1252 cannot hold become '?'.
std::string ToRecord(const QString& text);

// A text box's maximum length as the settings window keeps it: typing stops
// at `limit` characters, while a longer text the program puts there (a line
// kept from a longer row length) stays whole and may be edited as long as it
// does not grow. QLineEdit::setMaxLength would cut such a text.
class TypingLimit : public QValidator {
  Q_OBJECT

 public:
  // Becomes the validator of `edit`.
  TypingLimit(int limit, QLineEdit* edit);
  void SetLimit(int limit) { limit_ = limit; }
  int limit() const { return limit_; }
  // Call before the program sets a text of `length` characters.
  void Allow(qsizetype length) { current_ = length; }
  State validate(QString& input, int& pos) const override;

 private:
  int limit_;
  qsizetype current_ = 0;  // length of the text in the box
};

}  // namespace dovevid::gui

// frmAbout: version, title and description of the program.
#pragma once

#include <QDialog>

namespace dovevid::gui {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace dovevid::gui

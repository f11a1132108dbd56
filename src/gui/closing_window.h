// Form1: shown, on top, while the program shuts down.
#pragma once

#include <QWidget>

namespace dovevid::gui {

class ClosingWindow : public QWidget {
  Q_OBJECT

 public:
  ClosingWindow();
};

}  // namespace dovevid::gui

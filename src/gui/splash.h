// frmSplash: stays on top while the main window loads.
#pragma once

#include <QWidget>

namespace dovevid::gui {

class Splash : public QWidget {
  Q_OBJECT

 public:
  Splash();
};

}  // namespace dovevid::gui

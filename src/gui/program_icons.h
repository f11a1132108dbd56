// The program's icons, drawn rather than shipped: a receipt coming out of a
// printer; the busy icon adds a red mark while a job runs.
#pragma once

#include <QIcon>

namespace dovevid::gui {

QIcon ProgramIcon();
QIcon BusyIcon();

}  // namespace dovevid::gui

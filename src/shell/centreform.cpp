#include "shell/centreform.h"

#include <QWidget>

namespace tb {

Placement centrePlacement(int, int, double, double) { return {}; }
void centreform(QWidget&) {}

} // namespace tb

#pragma once

#include <QIcon>
#include <QPixmap>

namespace tb {

/// The start window's pictures, drawn in code: a question sheet for the test
/// construction set and a medicine bottle with a capsule for the drug database.
QPixmap testSheetPicture(int size);
QPixmap drugBottlePicture(int size);

/// The program's window icon.
QIcon programIcon();

} // namespace tb

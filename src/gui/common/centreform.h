#pragma once

class QWidget;

namespace tb {

/// Left = W div 2 - w div 2, Top = R div 2 - h div 2 with R = H x 0.85 rounded:
/// centred across the screen and within its upper 85 %.
struct Placement {
    int left = 0;
    int top = 0;
};
Placement centrePlacement(int screenWidth, int screenHeight, double windowWidth, double windowHeight);

/// Places a window with centrePlacement on the available area of the screen it is on.
/// A window too large for that area keeps its top left corner on the screen.
void centreform(QWidget& window);

} // namespace tb

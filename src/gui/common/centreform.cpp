#include "gui/common/centreform.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tb {

namespace {

// A measure becomes a whole number by rounding to the nearest (a half to the even
// neighbour; after the halving below, the choice never shows).
int roundWhole(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

Placement centrePlacement(int screenWidth, int screenHeight, double windowWidth, double windowHeight)
{
    const int w = roundWhole(windowWidth);
    const int h = roundWhole(windowHeight);
    const int upper = roundWhole(screenHeight * 0.85);
    // C++ integer division truncates toward zero, which is the placement's "div".
    return { screenWidth / 2 - w / 2, upper / 2 - h / 2 };
}

void centreform(QWidget& window)
{
    // A window that was never given a size gets the one it would get when shown, so
    // that it is placed by the size it will have.
    if (!window.testAttribute(Qt::WA_Resized))
        window.adjustSize();
    QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window.frameGeometry().size();
    const Placement p = centrePlacement(area.width(), area.height(), size.width(), size.height());
    // A window larger than the screen would be placed partly above or left of it, out
    // of reach of the mouse with its title bar; it starts at the screen's edge instead.
    window.move(area.x() + std::max(0, p.left), area.y() + std::max(0, p.top));
}

} // namespace tb

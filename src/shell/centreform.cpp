#include "shell/centreform.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
    window.move(area.x() + p.left, area.y() + p.top);
}

} // namespace tb

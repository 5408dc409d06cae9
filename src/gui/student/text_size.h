#pragma once

class QMainWindow;

namespace tb {

/// The text size every Dosarion window shows, in points, kept in the student's own
/// configuration ("Dosarion/dosarion.conf") so that the next session starts with it.
inline constexpr int SmallestTextSize = 8;
inline constexpr int LargestTextSize = 28;

/// The size the configuration holds, clamped; the toolkit's size when none was kept.
int savedTextSize();
/// Shows every window at `points` (clamped) and keeps it in the configuration.
void setTextSize(int points);
/// Applies the kept size at start.
void applySavedTextSize();

/// Adds the "&View" menu with "&Larger Text" (Ctrl++) and "&Smaller Text" (Ctrl+-) to `window`.
void addViewMenu(QMainWindow& window);

} // namespace tb

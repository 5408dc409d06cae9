#pragma once

namespace tb {

/// The installed menu entry's id: its file is <id>.desktop. The windows carry it as their
/// application id (Wayland) so that the desktop ties them to the entry and its icon.
inline constexpr const char* DesktopEntryId = "org.dosarion.TutorBench";

/// The windows' class on X11. Qt sets WM_CLASS to the program's file name (the instance)
/// and the application name (the class); both are this, and the entry's StartupWMClass
/// names it, so that docks group the windows under the entry.
inline constexpr const char* WindowClass = "tutorbench";

} // namespace tb

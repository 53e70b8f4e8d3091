#pragma once
// The program's icons and images, drawn in code: the tray states, the line and log lists, the
// domain and system information trees, the notification window and the about box.

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include "core/ViewState.h"

namespace vorta::ui {

// Image 0 (not connected, logged off) or image 3 (logged on) of the tray.
QIcon TrayIcon(TrayState state);
// Images 7 (active) and 8 (down) of the line list.
QIcon LineStateIcon(bool active);
// 0 info, 1 warning, 2 error; any other kind takes image 0.
QIcon LogKindIcon(int kind);
// 4 root, 5 domain, 6 resource; other indices take the root's look.
QIcon DomainTreeIcon(int index);
// Indices 0..10 of the system information tree.
QIcon SysInfoIcon(int index);
// The notification window's background and its close image.
QPixmap AnimateBackground(QSize size);
QPixmap AnimateCloseImage();
// The 150x50 logo of the about box.
QPixmap LogoImage();
QIcon AppIcon();

}  // namespace vorta::ui

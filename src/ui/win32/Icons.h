#pragma once
// The program's icons and images, drawn with GDI at run time as the Qt window draws them: the
// tray states, the line and log lists, the domain and system information trees, the
// notification window and the about box.

#include <windows.h>

#include "core/ViewState.h"
#include "ui/win32/Gdi.h"

namespace vorta::win32ui {

// Image 0 (not connected, logged off) or image 3 (logged on) of the tray, `side` pixels.
UniqueIcon TrayStateIcon(TrayState state, int side);
// The program's icon: resource 1 of the program when it has one, else the logged-on look.
HICON AppIcon(bool large);
// Lists of 16 x 16 images: the line list's two states (0 down, 1 active), the log's kinds
// (0 info, 1 warning, 2 error), the domain tree's nodes (0 root, 1 domain, 2 resource), and the
// system information tree's indices 0..10.
UniqueImageList LineStateImages();
UniqueImageList LogKindImages();
UniqueImageList DomainTreeImages();
UniqueImageList SysInfoImages();
// The notification window's background (width x height) and its 13 x 13 close image.
UniqueBitmap AnimateBackground(int width, int height);
UniqueIcon AnimateCloseImage();
// The 150 x 50 logo of the about box.
UniqueIcon LogoImage();

}  // namespace vorta::win32ui

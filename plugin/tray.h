// The tray icon's record and its tip, which names how many lights do not
// answer.
#pragma once

#include "platform/win32.h"

// The tray icon record, filled at start; only its tip changes after. The
// taskbar may need it again.
extern NOTIFYICONDATAA g_trayIcon;
// Whether the icon is in the notification area: its tip changes only then.
extern bool g_trayShown;

// "Chromalet-LIFX", or "Chromalet-LIFX: 2 lights not answering".
void TrayTip(char (&tip)[sizeof g_trayIcon.szTip]);
// The tip follows the lights that do not answer; the shell is told only
// when its text changes.
void UpdateTrayTip();

// Sending the plug-in's state to the lights.
#pragma once

#include "platform/win32.h"

// SetLightPower to every configured light.
void SetPowerAll(bool on);
// SetMultiZoneEffect to the strips in slots 9 and 10.
void SetMoveEffect(bool on);
// which below 1: every light by scheme; 1 to 10: that light from its palette
// entry; above 10: nothing.
void SendColours(int which);
void SendBulbColour(int device, int entry, SOCKET s);
void SendStripZones(int device, SOCKET s);
void SendWhite(int device, int brightness, int kelvin);

// Sending the plug-in's state to the lights.
#pragma once

#include "platform/win32.h"

// Masks of slots: bit n stands for slot n.
enum : unsigned {
    kAllSlots = 0x7FEu,   // 1 to 10
    kStripSlots = 0x600u, // 9 and 10
};

// SetLightPower to every configured light.
void SetPowerAll(bool on);
// SetMultiZoneEffect to the strips in slots 9 and 10.
void SetMoveEffect(bool on);
// The same to the strips of the mask alone.
void SetMoveEffectOn(unsigned slots, bool on);
// which below 1: every light by scheme; 1 to 10: that light from its palette
// entry; above 10: nothing.
void SendColours(int which);
// A cycle tick's SendColours(0): sent once, unconfirmed, as the next tick
// replaces it.
void SendCycleColours();
// What SendColours(0) sends, to the lights of the mask alone.
void SendSchemeTo(unsigned slots);
// The scheme again to the strips of the mask whose newest colour is the
// scheme's zones: for a strip whose length was learned after they went out.
void RedrawStrips(unsigned slots);
void SendBulbColour(int device, int entry, SOCKET s);
void SendStripZones(int device, SOCKET s);
void SendWhite(int device, int brightness, int kelvin);

// A matrix light's chain in words, for the Devices menu and the log.
#pragma once

#include "settings/settings.h"

enum { kChainWordsSize = 48 };

// "1 tile, 16×8", "5 tiles, 8×8" when every tile has one size, else
// "3 tiles, 200 pixels"; with oneTileBare, a single tile is just "16×8".
// The sign is the code page's, as ShownTimesSign gives it.
void ChainWords(const DeviceChain &chain, bool oneTileBare, char (&out)[kChainWordsSize]);

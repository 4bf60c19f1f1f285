// A matrix light's chain, read from its answer and checked against the
// bounds the plug-in keeps: what comes from the network is never trusted.
#pragma once

#include "lifx/replies.h"
#include "settings/settings.h"

enum { kChainRefusalSize = 48 };

// The chain in the answer, when it is within the bounds (1 to 16 tiles, each
// side 1 to 64, 1000 pixels at most). Otherwise false, with why it was
// refused in words ("17 tiles", "a tile 65 pixels wide", ...).
bool ChainFromReply(const Reply &reply, DeviceChain *chain, char (&why)[kChainRefusalSize]);

#include "lifx/chain.h"

#include <stdio.h>
#include <string.h>

bool ChainFromReply(const Reply &reply, DeviceChain *chain, char (&why)[kChainRefusalSize])
{
    why[0] = 0;
    if (reply.truncated) {
        snprintf(why, sizeof why, "an answer cut short");
        return false;
    }
    if (reply.tileCount < 1 || reply.tileCount > kMaxTiles) {
        snprintf(why, sizeof why, "%u tiles", reply.tileCount);
        return false;
    }
    DeviceChain read;
    memset(&read, 0, sizeof read);
    read.tiles = reply.tileCount;
    for (int t = 0; t < read.tiles; t++) {
        read.width[t] = reply.tileWidth[t];
        read.height[t] = reply.tileHeight[t];
        if (read.width[t] < 1 || read.width[t] > kMaxTileSide) {
            snprintf(why, sizeof why, "a tile %u pixels wide", read.width[t]);
            return false;
        }
        if (read.height[t] < 1 || read.height[t] > kMaxTileSide) {
            snprintf(why, sizeof why, "a tile %u pixels high", read.height[t]);
            return false;
        }
    }
    if (ChainPixels(read) > kMaxMatrixPixels) {
        snprintf(why, sizeof why, "%d pixels", ChainPixels(read));
        return false;
    }
    *chain = read;
    return true;
}

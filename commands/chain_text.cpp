#include "commands/chain_text.h"

#include <stdio.h>

#include "settings/label.h"

void ChainWords(const DeviceChain &chain, bool oneTileBare, char (&out)[kChainWordsSize])
{
    char times[4];
    ShownTimesSign(times);
    bool sameSize = chain.tiles >= 1;
    for (int t = 1; t < chain.tiles && t < kMaxTiles; t++)
        sameSize =
            sameSize && chain.width[t] == chain.width[0] && chain.height[t] == chain.height[0];
    int n = 0;
    if (!(oneTileBare && chain.tiles == 1))
        n = snprintf(out, sizeof out, "%d tile%s, ", chain.tiles, chain.tiles == 1 ? "" : "s");
    if (sameSize)
        snprintf(out + n, sizeof out - (size_t)n, "%u%s%u", chain.width[0], times, chain.height[0]);
    else
        snprintf(out + n, sizeof out - (size_t)n, "%d pixels", ChainPixels(chain));
}

#include "lifx/matrix.h"

#include <string.h>

#include "lifx/light_pace.h"
#include "settings/settings.h"

namespace
{

// The image on its way to one light, and where each tile stands.
struct MatrixChange {
    bool open;
    bool planned; // pixels hold the light's newest image
    DeviceChain chain;
    int first[kMaxTiles]; // each tile's first pixel
    Hsbk pixels[kMaxMatrixPixels];
    uint32_t durationMs;
    bool direct;
    int nextTile; // the next write to send: tile and first row
    int nextY;
    int writesLeft[kMaxTiles];
    int writesLeftAll;
    bool copyDue[kMaxTiles];
    int tilesLeft;
};

enum { kMatrixSlots = kDeviceSlots - kLastBulb };
MatrixChange g_changes[kMatrixSlots];
// Lights that refused frame buffer 1, while their slot holds the same text.
bool g_direct[kDeviceSlots + 1];
unsigned g_directChange[kDeviceSlots + 1];

MatrixChange *ChangeOf(int slot)
{
    return slot > kLastBulb && slot <= kDeviceSlots ? &g_changes[slot - kLastBulb - 1] : nullptr;
}

bool Direct(int slot)
{
    return g_direct[slot] && g_directChange[slot] == g_deviceChanges[slot];
}

// Rows of a tile one message carries: 64 pixels of whole rows.
int RowsPerMessage(int width)
{
    return width >= 1 && width <= kSet64Pixels ? kSet64Pixels / width : 1;
}

int WritesOf(int width, int height)
{
    int rows = RowsPerMessage(width);
    return (height + rows - 1) / rows;
}

void Close(int slot, MatrixChange &change)
{
    DeliveryForget(slot, kTypeSet64);
    DeliveryForget(slot, kTypeCopyFrameBuffer);
    PaceReset(slot);
    change.open = false;
}

// Every tile from its first write, in the mode the light takes.
void Begin(int slot, MatrixChange &change)
{
    Close(slot, change);
    // Whatever older colour still goes to the light would undo the image.
    DeliveryForget(slot, kTypeSetColor);
    DeliveryForget(slot, kTypeSetExtendedColorZones);
    change.open = true;
    change.direct = Direct(slot);
    change.nextTile = 0;
    change.nextY = 0;
    change.tilesLeft = change.chain.tiles;
    change.writesLeftAll = 0;
    for (int t = 0; t < change.chain.tiles; t++) {
        change.writesLeft[t] = WritesOf(change.chain.width[t], change.chain.height[t]);
        change.writesLeftAll += change.writesLeft[t];
        change.copyDue[t] = false;
    }
}

// The next writes, then, once every tile's writes are confirmed, the
// copies, as the light's pace allows: the tiles change together, and a lost
// write leaves every tile as it was. False when a send failed.
bool ReleaseDue(int slot, MatrixChange &change, uint32_t nowMs)
{
    static uint8_t copy[kCopyFrameBufferSize];
    static uint8_t write[kSet64Size];
    const DeviceChain &chain = change.chain;
    for (int t = 0; change.writesLeftAll == 0 && t < chain.tiles && PaceAllows(slot, nowMs); t++) {
        if (!change.copyDue[t])
            continue;
        EncodeCopyFrameBuffer(copy, (uint8_t)t, chain.width[t], chain.height[t], change.durationMs);
        if (!PacedSend(slot, copy, kCopyFrameBufferSize, nowMs))
            return false;
        change.copyDue[t] = false;
    }
    while (change.nextTile < chain.tiles && PaceAllows(slot, nowMs)) {
        int t = change.nextTile;
        int width = chain.width[t];
        int rows = RowsPerMessage(width);
        int y = change.nextY;
        int count = (chain.height[t] - y < rows ? chain.height[t] - y : rows) * width;
        // Written where it is not shown, the fade left to the copy; or
        // shown as it lands, fading itself.
        EncodeSet64(write, (uint8_t)t, change.direct ? 0 : 1, (uint8_t)y, (uint8_t)width,
                    change.pixels + change.first[t] + y * width, count,
                    change.direct ? change.durationMs : 0);
        if (!PacedSend(slot, write, kSet64Size, nowMs))
            return false;
        change.nextY += rows;
        if (change.nextY >= chain.height[t]) {
            change.nextTile++;
            change.nextY = 0;
        }
    }
    return true;
}

} // namespace

int MatrixPixelCount(int slot)
{
    if (slot < 1 || slot > kDeviceSlots)
        return 0;
    const DeviceChain &chain = g_deviceChains[slot];
    if (chain.tiles < 1 || chain.tiles > kMaxTiles)
        return 0;
    int pixels = 0;
    for (int t = 0; t < chain.tiles; t++) {
        if (chain.width[t] < 1 || chain.width[t] > kMaxTileSide || chain.height[t] < 1 ||
            chain.height[t] > kMaxTileSide)
            return 0;
        pixels += chain.width[t] * chain.height[t];
    }
    return pixels <= kMaxMatrixPixels ? pixels : 0;
}

bool MatrixShow(int slot, const Hsbk *pixels, uint32_t durationMs, bool tick, uint32_t nowMs)
{
    MatrixChange *change = ChangeOf(slot);
    int count = MatrixPixelCount(slot);
    if (!change || !pixels || count == 0)
        return false;
    // A tick may not cut short the image before it: the next tick comes.
    if (tick && change->open)
        return true;
    change->chain = g_deviceChains[slot];
    for (int t = 0, first = 0; t < change->chain.tiles; t++) {
        change->first[t] = first;
        first += change->chain.width[t] * change->chain.height[t];
    }
    memcpy(change->pixels, pixels, sizeof(Hsbk) * (size_t)count);
    change->durationMs = durationMs;
    change->planned = true;
    Begin(slot, *change);
    if (!ReleaseDue(slot, *change, nowMs)) {
        Close(slot, *change);
        return false;
    }
    return true;
}

void MatrixEvent(int slot, const DeliveryEvent &event)
{
    MatrixChange *change = ChangeOf(slot);
    if (!change || !change->open)
        return;
    if (event.outcome == DeliveredResent)
        return;
    PaceSettled(slot);
    if (event.outcome == DeliveredLost) {
        // The light stopped answering: its tiles stay as they were, each
        // whole, rather than show writes the light may never have had.
        Close(slot, *change);
        return;
    }
    int t = event.type == kTypeSet64 ? event.part >> 8 : event.part;
    if (t < 0 || t >= change->chain.tiles)
        return;
    if (event.type == kTypeCopyFrameBuffer) {
        change->tilesLeft--;
    } else if (event.type == kTypeSet64 && change->writesLeft[t] > 0) {
        change->writesLeftAll--;
        if (--change->writesLeft[t] > 0)
            return;
        if (change->direct)
            change->tilesLeft--;
        else
            change->copyDue[t] = true;
    }
}

bool MatrixStep(int slot, uint32_t nowMs)
{
    MatrixChange *change = ChangeOf(slot);
    if (!change || !change->open)
        return false;
    if (change->tilesLeft <= 0 || !ReleaseDue(slot, *change, nowMs)) {
        Close(slot, *change);
        return false;
    }
    return true;
}

void MatrixRefused(int slot, int type, uint32_t nowMs)
{
    MatrixChange *change = ChangeOf(slot);
    if (!change || Direct(slot) || (type != kTypeSet64 && type != kTypeCopyFrameBuffer))
        return;
    g_direct[slot] = true;
    g_directChange[slot] = g_deviceChanges[slot];
    // What frame buffer 1 held never showed: the newest image goes again,
    // straight to the pixels shown.
    if (!change->planned)
        return;
    Begin(slot, *change);
    if (!ReleaseDue(slot, *change, nowMs))
        Close(slot, *change);
}

void MatrixForget(int slot)
{
    MatrixChange *change = ChangeOf(slot);
    if (change && change->open)
        Close(slot, *change);
    if (change)
        change->planned = false;
}

void StopMatrices()
{
    for (int n = 0; n < kMatrixSlots; n++) {
        g_changes[n].open = false;
        g_changes[n].planned = false;
        PaceReset(kLastBulb + 1 + n);
    }
    memset(g_direct, 0, sizeof g_direct);
}

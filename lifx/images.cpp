#include "lifx/images.h"

#include "lifx/delivery.h"
#include "lifx/light_socket.h"
#include "lifx/matrix.h"
#include "lifx/older_strip.h"
#include "lifx/replies.h"
#include "settings/settings.h"

namespace
{

// Slots with an image on its way.
bool g_running[kDeviceSlots + 1];
// Our bit among the waits that hold the shared socket open: an image paced
// out may have nothing pending for a moment.
const unsigned kSocketHolder = 16;

bool AnyRunning()
{
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (g_running[slot])
            return true;
    }
    return false;
}

} // namespace

bool ShowsImage(int slot)
{
    int kind = DrivenKind(slot);
    return kind == KindMatrix || kind == KindOlderStrip;
}

int ImageSize(int slot)
{
    switch (DrivenKind(slot)) {
    case KindMatrix:
        return MatrixPixelCount(slot);
    case KindOlderStrip:
        return OlderStripZoneCount(slot);
    default:
        return 0;
    }
}

bool ShowImage(int slot, const Hsbk *colours, uint32_t durationMs, bool tick)
{
    bool sent = false;
    uint32_t now = GetTickCount();
    switch (DrivenKind(slot)) {
    case KindMatrix:
        sent = MatrixShow(slot, colours, durationMs, tick, now);
        break;
    case KindOlderStrip:
        sent = OlderStripShow(slot, colours, ImageSize(slot), durationMs, tick, now);
        break;
    default:
        return false;
    }
    g_running[slot] = g_running[slot] || sent;
    HoldLightSocket(kSocketHolder, AnyRunning());
    return sent;
}

void ForgetImage(int slot)
{
    if (slot <= kLastBulb || slot > kDeviceSlots)
        return;
    MatrixForget(slot);
    OlderStripForget(slot);
}

bool ImagesStep(uint32_t nowMs)
{
    if (!AnyRunning())
        return false;
    AcquireLightSocket();
    bool running = false;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (!g_running[slot])
            continue;
        int kind = DrivenKind(slot);
        DeliveryEvent event;
        // Bounded: the ring holds a fixed number of events.
        while (DeliveryNextEvent(slot, &event)) {
            if (kind == KindMatrix)
                MatrixEvent(slot, event);
            else if (kind == KindOlderStrip)
                OlderStripEvent(slot, event);
        }
        if (kind == KindMatrix)
            g_running[slot] = MatrixStep(slot, nowMs);
        else if (kind == KindOlderStrip)
            g_running[slot] = OlderStripStep(slot, nowMs);
        else
            ForgetImage(slot), g_running[slot] = false;
        running = running || g_running[slot];
    }
    HoldLightSocket(kSocketHolder, running);
    return running;
}

bool ImagesRunning()
{
    return AnyRunning();
}

bool ImagesHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!ReadReply(data, length, DeliverySource(), &reply) || reply.type != kTypeStateUnhandled ||
        (reply.unhandledType != kTypeSet64 && reply.unhandledType != kTypeCopyFrameBuffer))
        return false;
    uint32_t address;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (DrivenKind(slot) == KindMatrix && DeviceAddress(slot, &address) && address == from) {
            MatrixRefused(slot, reply.unhandledType, GetTickCount());
            g_running[slot] = true;
        }
    }
    HoldLightSocket(kSocketHolder, AnyRunning());
    return true;
}

void StopImages()
{
    StopMatrices();
    StopOlderStrips();
    for (bool &running : g_running)
        running = false;
    HoldLightSocket(kSocketHolder, false);
}

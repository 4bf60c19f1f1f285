// The lights in slots 9 and 10 whose image takes many messages, each kind
// by its own rules (lifx/matrix, lifx/older_strip): what dispatch hands
// them, and what the answers timer runs for them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "lifx/messages.h"

// Whether the slot's light is driven here rather than by one message.
bool ShowsImage(int slot);
// The zones or pixels the slot's light is driven with.
int ImageSize(int slot);
// Shows colours[0] to colours[ImageSize - 1] on the slot's light. False when
// nothing could be sent.
bool ShowImage(int slot, const Hsbk *colours, uint32_t durationMs, bool tick);
// Something newer went to the light: the image on its way is dropped.
void ForgetImage(int slot);
// After the answers were offered and delivery stepped: follows what became
// of each message and sends what is due. True while an image is on its way.
bool ImagesStep(uint32_t nowMs);
bool ImagesRunning();
// A light's answer that it does not take a message of ours; false for any
// other datagram.
bool ImagesHandleDatagram(uint32_t from, const uint8_t *data, size_t length);
void StopImages();

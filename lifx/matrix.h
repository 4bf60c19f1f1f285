// A matrix light in slot 9 or 10: its pixels read as one strip, tile by tile
// in chain order, row by row from the top, left to right. Each tile's image
// is written where it is not shown (frame buffer 1) and shown whole with one
// copy, once every write of the tile is confirmed, so that a lost write never
// shows a mixed image. A light that refuses frame buffer 1 or the copy is
// written in frame buffer 0 from then on.
#pragma once

#include <stdint.h>

#include "lifx/delivery.h"
#include "lifx/messages.h"

// The pixels of the slot's chain, 0 when it is not known.
int MatrixPixelCount(int slot);
// Shows pixels[0] to pixels[MatrixPixelCount - 1], fading over durationMs.
// It replaces an image still on its way; a cycle tick does not, and is
// skipped while one is. False when nothing could be sent.
bool MatrixShow(int slot, const Hsbk *pixels, uint32_t durationMs, bool tick, uint32_t nowMs);
// What became of one of the slot's messages.
void MatrixEvent(int slot, const DeliveryEvent &event);
// Sends what is due at the light's pace; true while an image is on its way.
bool MatrixStep(int slot, uint32_t nowMs);
// The light answered that it does not take a message of that type.
void MatrixRefused(int slot, int type, uint32_t nowMs);
// Drops the image on its way, as something newer went to the light.
void MatrixForget(int slot);
void StopMatrices();

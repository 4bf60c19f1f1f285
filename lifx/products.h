// What LIFX's products are, by the number a device gives in StateVersion.
// The list grows every year: a product not here is told apart by its
// answers, so it is ProductNotListed, never a guess.
#pragma once

#include <stdint.h>

enum ProductKind {
    ProductNotListed,
    ProductNoLight,       // relays and buttons: the LIFX Switch
    ProductOlderStrip,    // only the original zone messages
    ProductStripAnyZones, // the extended zone messages from some firmware on
    ProductStrip,         // the extended zone messages
    ProductMatrix,        // a chain of tiles of pixels
};

ProductKind KindOfProduct(uint32_t product);

#include "lifx/products.h"

namespace
{

struct ProductRow {
    uint32_t product;
    ProductKind kind;
};

// From LIFX's public list of products.
const ProductRow kProducts[] = {
    {70, ProductNoLight},       {71, ProductNoLight},       {89, ProductNoLight},
    {115, ProductNoLight},      {116, ProductNoLight},      {31, ProductOlderStrip},
    {32, ProductStripAnyZones}, {38, ProductStripAnyZones}, {117, ProductStrip},
    {118, ProductStrip},        {119, ProductStrip},        {120, ProductStrip},
    {141, ProductStrip},        {142, ProductStrip},        {143, ProductStrip},
    {144, ProductStrip},        {161, ProductStrip},        {162, ProductStrip},
    {203, ProductStrip},        {204, ProductStrip},        {205, ProductStrip},
    {206, ProductStrip},        {213, ProductStrip},        {214, ProductStrip},
    {55, ProductMatrix},        {57, ProductMatrix},        {68, ProductMatrix},
    {137, ProductMatrix},       {138, ProductMatrix},       {185, ProductMatrix},
    {186, ProductMatrix},       {215, ProductMatrix},       {216, ProductMatrix},
    {171, ProductMatrix},       {221, ProductMatrix},       {173, ProductMatrix},
    {222, ProductMatrix},       {174, ProductMatrix},       {176, ProductMatrix},
    {177, ProductMatrix},       {201, ProductMatrix},       {202, ProductMatrix},
    {217, ProductMatrix},       {218, ProductMatrix},       {219, ProductMatrix},
    {220, ProductMatrix},
};

} // namespace

ProductKind KindOfProduct(uint32_t product)
{
    for (const ProductRow &row : kProducts) {
        if (row.product == product)
            return row.kind;
    }
    return ProductNotListed;
}

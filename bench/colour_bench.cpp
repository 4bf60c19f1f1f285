// One palette colour to HSBK, the fast conversion beside the plain one.
#include <stdint.h>

#include <benchmark/benchmark.h>

#include "lifx/colour.h"
#include "tests/lifx/colour_reference.h"

namespace
{

enum { kColours = 4096 };

// Random colours, the same in every run; a mask picks them in turn.
const uint32_t *Colours()
{
    static uint32_t colours[kColours];
    uint32_t state = 0x9E3779B9u;
    for (uint32_t &colour : colours) {
        state = state * 1664525u + 1013904223u;
        colour = (state >> 8) & 0xFFFFFF;
    }
    return colours;
}

template <Conversion (*Convert)(uint32_t, int, int, int)>
void ConvertColours(benchmark::State &state)
{
    const uint32_t *colours = Colours();
    unsigned i = 0;
    for (auto _ : state) {
        Conversion c = Convert(colours[i++ & (kColours - 1)], 80, 100, 95);
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations());
}

void RgbToHsbkPerColour(benchmark::State &state)
{
    ConvertColours<RgbToHsbk>(state);
}
void RgbToHsbkReferencePerColour(benchmark::State &state)
{
    ConvertColours<RgbToHsbkReference>(state);
}

} // namespace

BENCHMARK(RgbToHsbkPerColour)->Unit(benchmark::kNanosecond);
BENCHMARK(RgbToHsbkReferencePerColour)->Unit(benchmark::kNanosecond);

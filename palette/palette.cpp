#include "palette/palette.h"

Palette g_palette;

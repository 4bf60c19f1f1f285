// Numbers and colours as the commands read them from their arguments.
#pragma once

#include <stdint.h>

// Reads a decimal number as the runtime's atoi does (leading blanks, a sign,
// digits up to the first other character; 0 when there are none), saturating
// at the 32-bit limits on every platform: "4294967296" reads as 2147483647,
// not as 0.
int ReadNumber(const char *text);
// Reads a typed number as ReadNumber does, but only a whole one: blanks, a
// sign, at least one digit, then nothing but blanks. False for anything
// else ("abc", "12x", "55%", ""), leaving value alone.
bool ReadWholeNumber(const char *text, int *value);

// Reads 1 to 6 hexadecimal digits and nothing else as 0xRRGGBB; false for
// any other text. Fewer digits are not widened: "fff" is 0x000FFF.
bool ReadHexColour(const char *text, uint32_t *rgb);

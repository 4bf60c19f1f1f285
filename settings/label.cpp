#include "settings/label.h"

#include <stdint.h>
#include <string.h>

#include "platform/win32.h"

namespace
{

const uint32_t kReplacement = 0xFFFD;

bool Continuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF)
{
    return c >= low && c <= high;
}

// One character from p (before end): its code point, or the replacement
// for the longest start of a sequence that is no valid UTF-8 (a byte at
// least). Returns the bytes it took.
int Decode(const unsigned char *p, const unsigned char *end, uint32_t *codePoint)
{
    unsigned char lead = p[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        // No overlong forms, no surrogates.
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        *codePoint = kReplacement;
        return 1;
    }
    uint32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; i++) {
        if (p + i >= end || !Continuation(p[i], i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) {
            *codePoint = kReplacement;
            return i;
        }
        value = (value << 6) | (p[i] & 0x3F);
    }
    *codePoint = value;
    return length;
}

bool Control(uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

void PutUtf8(uint32_t codePoint, char *out, int *length)
{
    if (codePoint < 0x80) {
        out[0] = (char)codePoint;
        *length = 1;
    } else if (codePoint < 0x800) {
        out[0] = (char)(0xC0 | (codePoint >> 6));
        out[1] = (char)(0x80 | (codePoint & 0x3F));
        *length = 2;
    } else if (codePoint < 0x10000) {
        out[0] = (char)(0xE0 | (codePoint >> 12));
        out[1] = (char)(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = (char)(0x80 | (codePoint & 0x3F));
        *length = 3;
    } else {
        out[0] = (char)(0xF0 | (codePoint >> 18));
        out[1] = (char)(0x80 | ((codePoint >> 12) & 0x3F));
        out[2] = (char)(0x80 | ((codePoint >> 6) & 0x3F));
        out[3] = (char)(0x80 | (codePoint & 0x3F));
        *length = 4;
    }
}

// The character in the code page, into out (4 bytes); a "?" for what it
// cannot show.
int InCodePage(uint32_t codePoint, char (&out)[4])
{
    int length = 1;
    out[0] = '?';
    if (codePoint == kReplacement)
        return 1;
    // A system whose code page is UTF-8 takes the character as it came.
    if (GetACP() == CP_UTF8) {
        PutUtf8(codePoint, out, &length);
        return length;
    }
    WCHAR wide[2];
    int units = 1;
    if (codePoint >= 0x10000) {
        wide[0] = (WCHAR)(0xD800 + ((codePoint - 0x10000) >> 10));
        wide[1] = (WCHAR)(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        units = 2;
    } else {
        wide[0] = (WCHAR)codePoint;
    }
    BOOL replaced = FALSE;
    // No best fit: an "A" for an "Ā" would name another light.
    length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, out, sizeof out, "?",
                                 &replaced);
    if (length <= 0 || replaced) {
        out[0] = '?';
        length = 1;
    }
    return length;
}

} // namespace

void CleanLabel(const char *text, size_t size, char (&out)[kLabelTextSize])
{
    size_t length = 0;
    while (length < size && length < kLabelBytes && text[length])
        length++;
    const unsigned char *p = (const unsigned char *)text, *end = p + length;
    size_t n = 0;
    while (p < end) {
        uint32_t codePoint;
        int taken = Decode(p, end, &codePoint);
        if (Control(codePoint)) {
            out[n++] = ' ';
        } else {
            memcpy(out + n, p, (size_t)taken);
            n += (size_t)taken;
        }
        p += taken;
    }
    while (n > 0 && out[n - 1] == ' ')
        n--;
    size_t first = 0;
    while (first < n && out[first] == ' ')
        first++;
    memmove(out, out + first, n - first);
    out[n - first] = 0;
}

void ShownLabel(const char *label, char (&out)[kShownLabelSize])
{
    size_t length = strnlen(label, kLabelBytes);
    const unsigned char *p = (const unsigned char *)label, *end = p + length;
    size_t n = 0;
    while (p < end) {
        uint32_t codePoint;
        p += Decode(p, end, &codePoint);
        char bytes[4];
        int count = Control(codePoint) ? (bytes[0] = ' ', 1) : InCodePage(codePoint, bytes);
        // Whole characters or none.
        if (n + (size_t)count >= sizeof out)
            break;
        memcpy(out + n, bytes, (size_t)count);
        n += (size_t)count;
    }
    out[n] = 0;
}

void ShownTimesSign(char (&out)[4])
{
    char bytes[4];
    int count = InCodePage(0xD7, bytes);
    if (bytes[0] == '?') {
        bytes[0] = 'x';
        count = 1;
    }
    memcpy(out, bytes, (size_t)count);
    out[count < 4 ? count : 3] = 0;
}

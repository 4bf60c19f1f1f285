// The stand-in's code page: Latin-1, small enough to need no table.
#include "platform/win32_linux.h"

UINT GetACP()
{
    return 28591;
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR *wide, int wideCount, LPSTR out, int outSize,
                        LPCSTR defaultChar, BOOL *usedDefaultChar)
{
    if (usedDefaultChar)
        *usedDefaultChar = FALSE;
    if (wideCount > outSize)
        return 0;
    for (int i = 0; i < wideCount; i++) {
        bool shown = wide[i] < 0x100;
        out[i] = shown ? (char)wide[i] : defaultChar ? defaultChar[0] : '?';
        if (!shown && usedDefaultChar)
            *usedDefaultChar = TRUE;
    }
    return wideCount;
}

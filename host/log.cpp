#include "host/log.h"

void HostLog(int level, const char *text)
{
    SendMessageA(GetVeskWnd(), HostMsgLog, (WPARAM)level, (LPARAM)text);
}

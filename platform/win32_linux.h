// Linux stand-in for the Windows calls the plug-in makes: the same names,
// types and constants, implemented in win32_linux.cpp (window, timers, tray,
// session, message box, icons, module and files). Sockets are the system's
// own BSD sockets, which Windows Sockets copied; only the few names Windows
// adds are supplied here.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdint.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

static const char kPathSeparator = '/';

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef uint16_t ATOM;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uint32_t COLORREF;
typedef void *HANDLE;
typedef void *LPVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HICON__ *HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__ *HBRUSH;
typedef struct HMENU__ *HMENU;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define WINAPI
#define CALLBACK

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK *TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

// Window messages and their parameters.
#define WM_CLOSE 0x0010
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONUP 0x0205
#define WM_POWERBROADCAST 0x0218
#define WM_WTSSESSION_CHANGE 0x02B1
#define WM_USER 0x0400
#define PBT_APMSUSPEND 4
#define PBT_APMRESUMEAUTOMATIC 18
#define WTS_SESSION_LOCK 7
#define WTS_SESSION_UNLOCK 8
#define NOTIFY_FOR_THIS_SESSION 0
#define MSGFLT_ALLOW 1

#define WS_EX_TOOLWINDOW 0x00000080
#define WS_POPUP 0x80000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define SW_HIDE 0
#define SW_SHOWNORMAL 1

#define MB_OK 0x0
#define MB_ICONERROR 0x10
#define MB_ICONINFORMATION 0x40
#define MB_TOPMOST 0x40000

#define MAKEINTRESOURCEA(i) ((LPCSTR)(uintptr_t)(WORD)(i))
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IMAGE_ICON 1
#define LR_LOADFROMFILE 0x10

typedef struct {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

// Notification area.
#define NIM_ADD 0
#define NIM_MODIFY 1
#define NIM_DELETE 2
#define NIM_SETVERSION 4
#define NIF_MESSAGE 0x01
#define NIF_ICON 0x02
#define NIF_TIP 0x04
#define NIF_SHOWTIP 0x80
#define NOTIFYICON_VERSION_4 4
#define NIN_SELECT 0x0400
#define NIN_KEYSELECT 0x0401

typedef struct {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    char szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    char szInfoTitle[64];
    DWORD dwInfoFlags;
    BYTE guidItem[16];
    HICON hBalloonIcon;
} NOTIFYICONDATAA;

// Files.
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define FILE_SHARE_DELETE 0x4
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Sockets: what Windows Sockets adds to the BSD calls.
typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define SD_BOTH SHUT_RDWR
#define MAKEWORD(lo, hi) ((WORD)(((BYTE)(lo)) | (((WORD)(BYTE)(hi)) << 8)))
typedef struct {
    WORD wVersion;
    WORD wHighVersion;
} WSADATA;

int WSAStartup(WORD version, WSADATA *data);
int WSACleanup();
int closesocket(SOCKET s);

// Non-blocking sockets and their errors.
typedef unsigned long u_long;
#define WSAEINTR EINTR
#define WSAEWOULDBLOCK EWOULDBLOCK
#define WSAEMSGSIZE EMSGSIZE
#define WSAECONNRESET ECONNRESET
#define WSAEACCES EACCES
#define WSAENETUNREACH ENETUNREACH
#define WSAEHOSTUNREACH EHOSTUNREACH
#define WSAENETDOWN ENETDOWN
#define WSAEADDRNOTAVAIL EADDRNOTAVAIL
#define WSAENOBUFS ENOBUFS
int ioctlsocket(SOCKET s, long command, u_long *argument);
int WSAGetLastError();

// The machine's network interfaces, as the IP Helper library lists them:
// only the fields the plug-in reads.
typedef unsigned long ULONG;
#define ERROR_SUCCESS 0
#define ERROR_BUFFER_OVERFLOW 111
#define ERROR_NO_DATA 232
#define GAA_FLAG_SKIP_ANYCAST 0x0002
#define GAA_FLAG_SKIP_MULTICAST 0x0004
#define GAA_FLAG_SKIP_DNS_SERVER 0x0008
#define GAA_FLAG_SKIP_FRIENDLY_NAME 0x0020
#define IF_TYPE_SOFTWARE_LOOPBACK 24
typedef enum { IfOperStatusUp = 1, IfOperStatusDown = 2 } IF_OPER_STATUS;
typedef struct {
    struct sockaddr *lpSockaddr;
    int iSockaddrLength;
} SOCKET_ADDRESS;
typedef struct _IP_ADAPTER_UNICAST_ADDRESS {
    struct _IP_ADAPTER_UNICAST_ADDRESS *Next;
    SOCKET_ADDRESS Address;
    BYTE OnLinkPrefixLength;
} IP_ADAPTER_UNICAST_ADDRESS;
typedef struct _IP_ADAPTER_ADDRESSES {
    struct _IP_ADAPTER_ADDRESSES *Next;
    IP_ADAPTER_UNICAST_ADDRESS *FirstUnicastAddress;
    DWORD IfType;
    IF_OPER_STATUS OperStatus;
} IP_ADAPTER_ADDRESSES;
ULONG GetAdaptersAddresses(ULONG family, ULONG flags, void *reserved,
                           IP_ADAPTER_ADDRESSES *addresses, ULONG *size);

// Window and messages.
ATOM RegisterClassA(const WNDCLASSA *cls);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL ShowWindow(HWND window, int show);
BOOL DestroyWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
UINT RegisterWindowMessageA(LPCSTR name);
BOOL ChangeWindowMessageFilterEx(HWND window, UINT message, DWORD action, void *status);
HWND GetDesktopWindow();

// Icons and the notification area.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
BOOL DestroyIcon(HICON icon);
BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA *data);

// Session notifications.
BOOL WTSRegisterSessionNotification(HWND window, DWORD flags);
BOOL WTSUnRegisterSessionNotification(HWND window);

// Milliseconds since some fixed moment, wrapping after 49.7 days.
DWORD GetTickCount();

// Text in the system's code page. The stand-in's code page is Latin-1:
// characters up to U+00FF are their own byte, anything else the default
// character.
typedef uint16_t WCHAR;
#define CP_ACP 0
#define CP_UTF8 65001
#define WC_NO_BEST_FIT_CHARS 0x400
UINT GetACP();
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR *wide, int wideCount, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL *usedDefaultChar);

// Module and files.
BOOL DisableThreadLibraryCalls(HMODULE module);
DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size);
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void *security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written, void *overlapped);
BOOL CloseHandle(HANDLE handle);

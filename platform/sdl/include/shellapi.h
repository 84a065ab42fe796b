// The shell's file drop (DragAcceptFiles, WM_DROPFILES), as the Windows
// header declares it, for builds outside Windows. The SDL layer implements
// it on SDL's drop events (platform/sdl/drop.cpp).
#pragma once
#include <windows.h>

#define WM_DROPFILES 0x0233

typedef struct HDROP__ *HDROP;

// A window that accepts files gets WM_DROPFILES, wParam the HDROP, for
// each drop of one or more files onto it.
void WINAPI DragAcceptFiles(HWND window, BOOL accept);
// index 0xFFFFFFFF: the number of files. A null buffer: the length of
// file index's path without its terminating null. Otherwise copies at most
// size - 1 characters and a null, and returns how many it copied.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
// Frees the drop; every WM_DROPFILES's HDROP must be finished.
void WINAPI DragFinish(HDROP drop);

// The five exports of kestin.dll (stdcall, undecorated names). None of them
// throws: the library is built without exceptions and every failure gives
// an empty result, a length of 0 or status 1627.
#pragma once

#include <windows.h>

typedef unsigned long MSIHANDLE;

extern "C" {
UINT WINAPI AddSecuredProp(MSIHANDLE install);
void WINAPI SecureText(const wchar_t* text, wchar_t* buffer, DWORD size);
int WINAPI GetSecuredTextLength(const wchar_t* text);
void WINAPI RevealText(const wchar_t* text, wchar_t* buffer, DWORD size);
int WINAPI GetRevealedTextLength(const wchar_t* text);
}

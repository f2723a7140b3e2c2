// Entry points of the shared run-time library VKLShared.dll (all WINAPI).
#pragma once
#include <windows.h>
#include <cstdint>

extern "C" {
// Fills text (256 bytes) with the code's text; "error N" for an unknown code.
typedef int32_t(WINAPI* GetErrorTextFn)(int32_t code, char* text);
// Shows the error: source is the reporting object's type name or file name.
typedef int32_t(WINAPI* ShowVKLErrorFn)(int32_t code, const char* source, const char* text);
typedef int32_t(WINAPI* ShowSplashWindowFn)(const char* text);
typedef int32_t(WINAPI* CloseSplashWindowFn)();
typedef int32_t(WINAPI* UpdateSplashTextFn)(const char* text);
// Opens the help page named by page from the library's folder, when it exists.
typedef int32_t(WINAPI* HandleVKLHelpFn)(const char* page, int32_t a, int32_t b, int32_t c);
typedef int32_t(WINAPI* SetOrvanTrayIconFn)(int32_t on);
}

constexpr int kErrorTextSize = 256;

// Paths of files that live beside a module (the plug-in's help page, the host's folders).
#pragma once
#include <windows.h>

// Writes the folder of module's file followed by name into out (size bytes).
// False when the module path cannot be had or the result does not fit.
bool PathBesideModule(HMODULE module, const char* name, char* out, int size);

// Opens the page beside module with the shell when that file exists; false otherwise.
bool OpenPageBesideModule(HMODULE module, const char* page);

// The module that contains this function's caller's code (a DLL's own instance).
HMODULE ModuleOfAddress(const void* address);

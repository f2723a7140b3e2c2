// The engine's error box: the one way the plug-in and its shared library put an
// error in front of the user.
#pragma once

// The engine's error box (titled with the engine's name, task-modal, on top) with text.
void ShowEngineBox(const char* text);
// The engine's error box naming the source (a type or file name; "Orvan Sondrel"
// when empty), the code and its text ("unknown error" when empty).
void ShowErrorBox(int code, const char* source, const char* text);

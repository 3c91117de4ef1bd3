// The screen's scale: pixel sizes given for a 96-DPI screen, at the DPI the system runs at.
#pragma once

#include <windows.h>

// The screen the pixel sizes of fonts are given for: 100 %.
constexpr int kBaseDpi = 96;

// The system's DPI (96 at 100 %), read once: a program aware of the system's DPI keeps the value
// it started with, as the system keeps drawing it at that scale.
int SystemDpi();
// A plain font (no italics, underline or strike-out; ANSI character set; default precision,
// quality and pitch) of the given face and weight, heightAt96 pixels high on a 96-DPI screen
// and MulDiv(heightAt96, SystemDpi(), 96) at the system's DPI: at 96 DPI exactly heightAt96.
// The caller deletes it.
HFONT CreateScaledFont(const wchar_t* face, int heightAt96, int weight);

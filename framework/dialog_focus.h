// The keyboard focus in a dialog: it never stays behind on a control that is disabled or hidden
// (the system would drop it, and Tab, Enter and Escape would reach nothing), and a dialog hands
// it to the control where the user types next. Every change goes through WM_NEXTDLGCTL, so the
// dialog manager selects an edit's text and keeps the default button right.
#pragma once

#include <windows.h>

#include <initializer_list>

// Enables or disables controls of dialog. Before the control with the focus is disabled, the
// focus moves on to the next control in tab order that can still be used (the Cancel button
// when nothing else is left), or, when none can, to a read-only field of the dialog or the
// dialog itself, so the keyboard still reaches it. Enabling controls again brings a focus that
// was parked there to the dialog's first input.
void EnableControls(HWND dialog, std::initializer_list<HWND> controls, bool enable);
// The same for showing and hiding controls.
void ShowControls(HWND dialog, std::initializer_list<HWND> controls, bool show);

// Gives control the focus; an edit's text is selected, so typing replaces it.
void FocusControl(HWND dialog, HWND control);
// Focuses the control where the user types next: the first field in tab order that takes text,
// or else the first control that can be used (not a read-only field).
void FocusFirstInput(HWND dialog);

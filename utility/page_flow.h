// Page flows: the handlers of a wizard page that wait for the user (a message box, the
// open-file dialog) while the program's own message loop does not run. Such a wait runs a
// message loop of its own, which takes a quit message as the end of the box under the user's
// hand; so while any flow runs, a standalone wizard's end is held back until it has unwound.
#pragma once

void EnterPageFlow();
// Posts an end of the program held back meanwhile once the last flow has left.
void LeavePageFlow();
// Ends the program with exit code code: at once, or when the last running flow has left.
void EndProgram(int code);

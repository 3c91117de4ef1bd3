// The keyboard focus in a dialog.
#include "framework/dialog_focus.h"

#include <algorithm>
#include <vector>

namespace {

bool Contains(std::initializer_list<HWND> controls, HWND control) {
  return std::find(controls.begin(), controls.end(), control) != controls.end();
}

bool IsTextField(HWND control) { return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0; }

bool IsReadOnlyField(HWND control) {
  return IsTextField(control) && (::GetWindowLongW(control, GWL_STYLE) & ES_READONLY) != 0;
}

// The controls that can take the focus now (visible, enabled tab stops) in tab order, starting
// after `from` and coming round to it; from the first one when from is null.
std::vector<HWND> TabOrderAfter(HWND dialog, HWND from) {
  std::vector<HWND> order;
  for (HWND control = ::GetNextDlgTabItem(dialog, from, FALSE);
       control != nullptr && std::find(order.begin(), order.end(), control) == order.end();
       control = ::GetNextDlgTabItem(dialog, control, FALSE)) {
    order.push_back(control);
  }
  return order;
}

// The control of the dialog that holds the focus, itself or through a child of its own (a combo
// box's edit); null when the focus is elsewhere or on the dialog window.
HWND ControlWithFocus(HWND dialog) {
  HWND focus = ::GetFocus();
  if (focus == nullptr || !::IsChild(dialog, focus)) return nullptr;
  while (::GetAncestor(focus, GA_PARENT) != dialog) focus = ::GetAncestor(focus, GA_PARENT);
  return focus;
}

// The dialog has the focus, but on nothing the user can work with: the dialog window itself or a
// read-only field, where it was parked while everything else was off.
bool IsFocusParked(HWND dialog) {
  if (::GetFocus() == dialog) return true;
  HWND control = ControlWithFocus(dialog);
  return control != nullptr && IsReadOnlyField(control);
}

// Where the focus goes from `focused` when the controls `leaving` can no longer hold it: the next
// control in tab order that can be used, else the first read-only field; null when none is left.
HWND NextFocus(HWND dialog, HWND focused, std::initializer_list<HWND> leaving) {
  HWND readOnlyField = nullptr;
  for (HWND control : TabOrderAfter(dialog, focused)) {
    if (Contains(leaving, control)) continue;
    if (!IsReadOnlyField(control)) return control;
    if (readOnlyField == nullptr) readOnlyField = control;
  }
  return readOnlyField;
}

// Applies change to every control; takingAway says whether it disables or hides them.
template <class Change>
void ChangeControls(HWND dialog, std::initializer_list<HWND> controls, bool takingAway, Change change) {
  if (!takingAway) {
    for (HWND control : controls) change(control);
    if (IsFocusParked(dialog)) FocusFirstInput(dialog);
    return;
  }
  HWND focused = ControlWithFocus(dialog);
  const bool losing = focused != nullptr && Contains(controls, focused);
  HWND next = losing ? NextFocus(dialog, focused, controls) : nullptr;
  // Moved first: the system drops the focus of a control it disables, and then keys go nowhere.
  if (next != nullptr) FocusControl(dialog, next);
  for (HWND control : controls) change(control);
  if (losing && next == nullptr) ::SetFocus(dialog);
}

}  // namespace

void EnableControls(HWND dialog, std::initializer_list<HWND> controls, bool enable) {
  ChangeControls(dialog, controls, !enable, [enable](HWND control) { ::EnableWindow(control, enable ? TRUE : FALSE); });
}

void ShowControls(HWND dialog, std::initializer_list<HWND> controls, bool show) {
  ChangeControls(dialog, controls, !show, [show](HWND control) { ::ShowWindow(control, show ? SW_SHOW : SW_HIDE); });
}

void FocusControl(HWND dialog, HWND control) {
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void FocusFirstInput(HWND dialog) {
  HWND firstUsable = nullptr;
  for (HWND control : TabOrderAfter(dialog, nullptr)) {
    if (IsReadOnlyField(control)) continue;
    if (IsTextField(control)) {
      FocusControl(dialog, control);
      return;
    }
    if (firstUsable == nullptr) firstUsable = control;
  }
  if (firstUsable != nullptr) FocusControl(dialog, firstUsable);
}

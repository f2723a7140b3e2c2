#include "ui/framework/ToggleButton.h"

// Every release delivered to the button flips it, also one that completes no click.
void ToggleButton::OnMouseUp(LPARAM relative, WPARAM keys) {
  if (toggles_) on_ = !on_;
  PushButton::OnMouseUp(relative, keys);
}

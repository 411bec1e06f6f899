// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Form2;

// Names for assistive technology (screen readers), taken from the captions beside the controls.
namespace Accessibility {

// Gives every field the name of its caption and the running total its own name; the total's
// amount stays readable as the label's accessible value.
void nameControls(Form2& form);

} // namespace Accessibility

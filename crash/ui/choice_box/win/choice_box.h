#pragma once
// A plain modal box with a text and a row of buttons; shown for an exception
// until the exception box takes its place.

#include <string>
#include <vector>

namespace ostrel {

// The index of the button chosen, or -1 when the box was closed otherwise.
int ChoiceBox(const std::u16string& title, const std::u16string& text,
              const std::vector<std::u16string>& buttons);

}  // namespace ostrel

#pragma once
// Opening a mailto: link with the mail program registered for it.

#include <string>

namespace ostrel::delivery {

// False when no program is registered or it cannot be started.
bool OpenMailtoLink(const std::u16string& recipients, const std::u16string& subject,
                    const std::u16string& body);

}  // namespace ostrel::delivery

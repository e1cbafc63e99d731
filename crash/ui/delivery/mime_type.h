#pragma once
// The content type an attachment is sent as, by its file extension.

#include <string_view>

namespace ostrel::delivery {

// ".txt", ".obr", ".ini": "text/plain"; ".jpg", ".jpeg": "image/jpeg";
// ".png": "image/png"; ".zip": "application/zip"; anything else
// "application/octet-stream". Extensions compare without regard to case.
std::string_view MimeTypeOf(std::u16string_view fileName);

}  // namespace ostrel::delivery

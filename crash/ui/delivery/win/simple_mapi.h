#pragma once
// Handing a message to the user's mail client through Simple MAPI.

#include <windows.h>

#include <string>
#include <vector>

namespace ostrel::delivery {

struct MailFile {
  std::u16string path;    // the file to attach
  std::u16string sendAs;  // the name the recipient sees
};

struct MapiMail {
  std::u16string recipients;  // the settings' list
  std::u16string subject, body;
  std::vector<MailFile> files;
  // Sent without asking when automatic and addressed; otherwise the mail
  // client's compose window shows.
  bool automatic = false;
  HWND parent = nullptr;
};

enum MapiResult : int { kMapiFailed = 0, kMapiSent = 1, kMapiCancelled = 2 };

// "mapi32.dll" is loaded by name now; no client (or no MAPISendMail) fails.
MapiResult SendThroughMapi(const MapiMail& mail);

}  // namespace ostrel::delivery

#pragma once
// The ways of sending that talk to a server themselves: the HTTP upload or
// a bug tracker, and SMTP (direct or through the configured server). Each
// runs on the delivering thread, blocks with its own time-outs and shows
// nothing; a failure only makes the delivery try its next way.
#include <functional>
#include <string>
#include <vector>

#include "ostrel/delivery_tuning.h"
#include "ostrel/reporter_settings.h"
#include "ostrel/settings_lists.h"

namespace ostrel::sending {

class TDeliveryProgress;

struct PreparedFile {
  std::u16string path, sendAs, field;
};

struct MethodInputs {
  ISettingsLookup* settings = nullptr;
  std::u16string recipients, sender, subject, body;
  std::vector<PreparedFile> files;
  // AddFields with MailFrom, MailSubject, MailBody and MailAddr.
  std::vector<NameValue> extraFields;
  // The report's header field of that name, or empty.
  std::function<std::u16string(const std::u16string&)> headerField;
  TDeliveryProgress* progress = nullptr;
  DeliveryTuning tuning;
};

struct MethodOutcome {
  bool delivered = false;
  // Something reached the server and may be there (a tracker's new case
  // whose files failed): another way would send the report twice.
  bool partly = false;
  std::string error;  // why not, for the kept report and diagnosis
};

MethodOutcome SendByHttp(const MethodInputs& in);
MethodOutcome SendBySmtp(const MethodInputs& in, bool direct);

// The files' bytes, in order; files that cannot be read are left out.
struct LoadedFile {
  const PreparedFile* file;
  std::vector<std::uint8_t> bytes;
};
std::vector<LoadedFile> LoadPreparedFiles(const std::vector<PreparedFile>& files);

}  // namespace ostrel::sending

// The name-value pairs of GoldMine's "WriteDetail" business function for a
// website record.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "goldmine/name_values.h"

namespace pelmora {

// The contact a record belongs to, taken from the list when the editor opened.
struct ContactRef {
  std::string accountNo;
  std::string contact;
  std::string recId;  // the contact's own record: linkacct of its links
};

struct WebsiteInput {
  std::string description;
  std::string siteType;
  std::string website;
};

// "http://" in front unless the text begins with exactly "http".
std::string WebsiteUrl(const std::string& website);

// The two stored address fields: 35 characters, then the next 40.
std::pair<std::string, std::string> SplitAddress(const std::string& url);

// The ten pairs in GoldMine's order, or nullopt when description or address
// is empty (nothing is written then).
std::optional<NameValuePairs> WriteDetailPairs(const std::string& recordId,
                                               const WebsiteInput& input,
                                               const ContactRef& contact);

}  // namespace pelmora

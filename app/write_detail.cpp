#include "app/write_detail.h"

namespace pelmora {

std::string WebsiteUrl(const std::string& website) {
  if (website.compare(0, 4, "http") == 0) return website;
  return "http://" + website;
}

std::pair<std::string, std::string> SplitAddress(const std::string& url) {
  std::string part1 = url.substr(0, 35);
  std::string part2 = url.size() > 35 ? url.substr(35, 40) : std::string();
  return {part1, part2};
}

std::optional<NameValuePairs> WriteDetailPairs(const std::string& recordId,
                                               const WebsiteInput& input,
                                               const ContactRef& contact) {
  if (input.description.empty() || input.website.empty()) return std::nullopt;
  const std::string url = WebsiteUrl(input.website);
  const auto [part1, part2] = SplitAddress(url);
  const std::string notes = "~~REF=" + url + "\n~~NOTES=" + contact.contact + " - " +
                            input.description + " (" + input.siteType + ")) ";
  return NameValuePairs{
      {"recid", recordId},
      {"detail", "Web Site"},
      {"ref", part1},
      {"accountno", contact.accountNo},
      {"ufield1", input.description},
      {"ufield2", contact.recId},
      {"ufield3", input.siteType},
      {"ufield10", part1},
      {"ufield11", part2},
      {"notes", notes},
  };
}

}  // namespace pelmora

#pragma once
// What Bugzilla's XML-RPC answers carry: its version, the products with
// their components and versions, the value lists of its fields, new ids.
#include <string>
#include <vector>

#include "crash/ui/upload/tracker_lists.h"
#include "crash/ui/upload/xml_rpc.h"

namespace ostrel::upload {

struct BugzillaLists {
  TrackerList products;              // names
  TrackerList components, versions;  // each with its product
  TrackerList priorities, severities, operatingSystems, platforms;
};

// The "version" member's string; empty when there is none.
std::string BugzillaVersion(const XmlRpcValue& answer);
// The "ids" member's ints (Product.get_enterable_products); false when the
// answer has no such array.
bool BugzillaIds(const XmlRpcValue& answer, std::vector<long long>& ids);
// Product.get: each product's name, components and versions.
void ReadBugzillaProducts(const XmlRpcValue& answer, BugzillaLists& lists);
// Bug.fields: the value lists "priority", "bug_severity" (else "severity"),
// "op_sys" and "rep_platform" (else "platform").
void ReadBugzillaFields(const XmlRpcValue& answer, BugzillaLists& lists);
// Bug.create: the "id" member's int; false without it.
bool BugzillaNewId(const XmlRpcValue& answer, long long& id);

}  // namespace ostrel::upload

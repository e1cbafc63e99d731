#pragma once
// What MantisConnect's answers carry: projects (sub-projects as
// "parent/child"), lists of object references (id and name), categories.
#include <string>

#include "crash/ui/upload/tracker_lists.h"
#include "crash/ui/upload/xml_reader.h"

namespace ostrel::upload {

// mc_projects_get_user_accessible: every project with its id, sub-projects
// named after their parents.
void ReadMantisProjects(const XmlElement& returned, TrackerList& projects);
// Arrays of items with "id" and "name" (access levels, priorities,
// severities, a project's users); each given the project.
void ReadMantisObjects(const XmlElement& returned, TrackerList& list,
                       const std::u16string& project = {});
// Arrays of items with a "name" (a project's versions), or of plain
// strings (its categories).
void ReadMantisNames(const XmlElement& returned, TrackerList& list, const std::u16string& project);

// The report's operating system as Mantis takes it: without the character
// before the first "build" and everything after it, then at most 31
// characters (never half a surrogate pair).
std::u16string MantisOperatingSystem(std::u16string_view os);

}  // namespace ostrel::upload

#pragma once
// The list-valued keys: Plugins, AddFields, AddAttachs and the numbered
// Assistant definitions.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crash/settings/value_kind.h"
#include "ostrel/settings_lists.h"

namespace ostrel {

std::vector<std::u16string> SplitText(std::u16string_view text, char16_t separator);

bool PluginListContains(std::u16string_view list, std::u16string_view name);
// The list after adding or removing `name`; unchanged when membership matches.
std::u16string PluginListWith(std::u16string_view list, std::u16string_view name, bool on);

// "name=value|name=value"; an entry without '=' has an empty value.
std::vector<NameValue> ParseFieldList(std::u16string_view text);
std::u16string JoinFieldList(const std::vector<NameValue>& fields);

// "file>send as>zip>field|..."
std::vector<AttachmentSpec> ParseAttachmentList(std::u16string_view text);

// "name|title|page|page..."; none without a name.
std::optional<AssistantDefinition> ParseAssistantDefinition(std::u16string_view text);

}  // namespace ostrel

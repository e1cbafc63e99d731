#include "tools/settings/settings_dump.h"

#include <cstdio>
#include <map>
#include <vector>

#include "crash/settings/defaults_table.h"
#include "crash/settings/memory_platform.h"
#include "crash/settings/property_stream.h"
#include "crash/settings/reporter_settings.h"
#include "crash/settings/settings_environment.h"
#include "crash/base/utf.h"

namespace ostrel {

namespace {

class NoSystem final : public IPlaceholderSystem {
 public:
  LocalTime Now() override { return {}; }
  std::u16string ModuleFileName(ModuleHandle) override { return {}; }
  std::u16string ModuleVersion(ModuleHandle) override { return {}; }
  std::u16string ComputerName() override { return {}; }
  std::u16string OsDescription() override { return {}; }
  std::optional<std::u16string> FolderPath(ShellFolder) override { return std::nullopt; }
};

const char* KindName(ValueKind k) {
  switch (k) {
    case ValueKind::Boolean:
      return "boolean";
    case ValueKind::Integer:
      return "integer";
    default:
      return "string";
  }
}

std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (char c : Utf16ToUtf8(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

bool IsPassword(const std::string& key) {
  return key == "SmtpPassword" || key == "HttpPassword" || key == "BugTrPassword";
}

}  // namespace

DumpResult DumpSettings(const std::span<const std::uint8_t>* stream, const DumpOptions& options) {
  constexpr ModuleHandle kModule = 0x400000;
  DumpResult result;
  ParsedStream parsed;
  MemorySettingsPlatform platform;
  NoSystem system;
  if (stream) {
    parsed = ParsePropertyStream(*stream);
    platform.SetResource(kModule, std::vector<std::uint8_t>(stream->begin(), stream->end()));
  }

  std::string head;
  if (!stream) {
    head = "no \"TOSTREL\" resource: the module has no settings; built-in defaults apply\n";
  } else if (parsed.stop == StreamStop::BadHeader) {
    head =
        "\"TOSTREL\" resource is not a settings stream: treated as absent; built-in defaults "
        "apply\n";
  } else {
    head = "\"TOSTREL\" resource: " + std::to_string(stream->size()) + " bytes, " +
           std::to_string(parsed.properties.size()) + " properties\n";
    if (parsed.stop != StreamStop::End)
      head += "warning: " + Utf16ToUtf8(StreamErrorText(parsed)) + " (at byte " +
              std::to_string(parsed.stopOffset) + "; later properties are not read)\n";
    result.resourceUsable = parsed.stop == StreamStop::End;
  }
  result.text = head;

  // Keys in the order of the built-in table, then the resource's own extras.
  std::vector<std::pair<std::string, ValueKind>> keys;
  for (const DefaultSetting& d : DefaultSettingsTable())
    keys.emplace_back(d.name,
                      std::string_view(d.name) == "DupExceptDef" ? ValueKind::Integer : d.kind);
  std::map<std::string, int> occurrences;
  for (const StreamProperty& p : parsed.properties) {
    if (occurrences[p.name]++ == 0 && !FindDefaultSetting(p.name))
      keys.emplace_back(p.name, p.kind);
  }

  {
    SettingsEnvironment env(platform, system);
    ComPtr<IReporterModuleSettings> settings = env.MakeModuleSettings(kModule);
    env.SetGlobalSettings(settings);
    SettingsCore* core = CoreOf(settings.Get());
    for (const auto& [key, kind] : keys) {
      std::string value;
      switch (kind) {
        case ValueKind::Boolean:
          value = core->GetBool(key.c_str()) ? "true" : "false";
          break;
        case ValueKind::Integer:
          value = std::to_string(core->GetInt(key.c_str()));
          break;
        case ValueKind::String: {
          const std::u16string text = core->GetUnexpandedText(key.c_str());
          value = IsPassword(key) && !text.empty() && !options.showPasswords
                      ? "(set, " + std::to_string(text.size()) + " characters)"
                      : Quote(text);
          break;
        }
      }
      const int n = occurrences.count(key) ? occurrences[key] : 0;
      std::string origin = n ? "resource" : "default";
      if (n > 1) origin += "; " + std::to_string(n - 1) + " later value(s) ignored";
      char line[160];
      std::snprintf(line, sizeof line, "%-18s %-8s ", key.c_str(), KindName(kind));
      result.text += line + value + "  (" + origin + ")\n";
    }
    env.SetGlobalSettings({});
  }
  return result;
}

}  // namespace ostrel

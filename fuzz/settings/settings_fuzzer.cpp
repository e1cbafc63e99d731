// libFuzzer target: the settings resource stream, from parsing through the
// process-wide cache to typed reads, and the PE resource reader of the host
// tool. The first byte picks the target.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "crash/settings/code_page.h"
#include "crash/settings/memory_platform.h"
#include "crash/settings/property_stream.h"
#include "crash/settings/reporter_settings.h"
#include "crash/settings/settings_environment.h"
#include "tools/settings/pe_resources.h"

namespace {

class QuietSystem final : public ostrel::IPlaceholderSystem {
 public:
  ostrel::LocalTime Now() override { return {2024, 1, 2, 3, 4, 5, 6}; }
  std::u16string ModuleFileName(ostrel::ModuleHandle) override { return u"C:\\a\\b.exe"; }
  std::u16string ModuleVersion(ostrel::ModuleHandle) override { return u"1.0"; }
  std::u16string ComputerName() override { return u"PC"; }
  std::u16string OsDescription() override { return u"Windows"; }
  std::optional<std::u16string> FolderPath(ostrel::ShellFolder) override { return u""; }
};

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

void FuzzStream(std::span<const std::uint8_t> data) {
  using namespace ostrel;
  const ParsedStream parsed = ParsePropertyStream(data);
  // What was read must write back and read again unchanged; texts may come
  // back in another string type.
  if (parsed.stop == StreamStop::End) {
    std::vector<StreamProperty> props = parsed.properties;
    for (auto& p : props)
      if (p.wide) p.typeByte = 0;
    const ParsedStream again = ParsePropertyStream(WritePropertyStream(props));
    Trap(again.stop == StreamStop::End && again.properties.size() == props.size());
    const Latin1CodePage latin1;
    auto text = [&](const StreamProperty& p) { return p.wide ? p.text : latin1.Widen(p.narrow); };
    for (std::size_t i = 0; i < props.size(); ++i) {
      const auto &a = props[i], &b = again.properties[i];
      Trap(a.name == b.name && a.kind == b.kind && a.integer == b.integer &&
           a.boolean == b.boolean && text(a) == text(b));
    }
  }

  MemorySettingsPlatform platform;
  QuietSystem system;
  constexpr ModuleHandle kModule = 0x400000;
  platform.SetResource(kModule, std::vector<std::uint8_t>(data.begin(), data.end()));
  {
    SettingsEnvironment env(platform, system);
    auto settings = env.MakeModuleSettings(kModule);
    SettingsCore* core = CoreOf(settings.Get());
    for (const StreamProperty& p : parsed.properties) {
      core->GetBool(p.name.c_str());
      core->GetInt(p.name.c_str());
      core->GetText(p.name.c_str());
      core->SetText(p.name.c_str(), u"x\u20AC");
    }
    AssistantDefinition def;
    settings->FindAssistant(u"SendAssistant", def);
    settings->AdditionalFields()->Fields();
    settings->AdditionalAttachments()->Items();
    std::u16string text;
    settings->SmtpPassword(text);
    settings->ReparseSettings();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  if (data[0] & 1) {
    try {
      ostrel::FindPeResource(rest, ostrel::kRtRcdata, u"TOSTREL");
    } catch (const std::runtime_error&) {
    }
  } else {
    FuzzStream(rest);
  }
  return 0;
}

// The host tool's pieces: the readable source, PE resources and the dump.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "crash/settings/password_cipher.h"
#include "crash/settings/property_stream.h"
#include "tools/settings/pe_resources.h"
#include "tools/settings/settings_dump.h"
#include "tools/settings/settings_source.h"

namespace ostrel {
namespace {

TEST(SettingsSource, ReadsEveryValueFormInOrder) {
  const auto props = ParseSettingsSource(
      "# comment\n"
      "  Enabled = true\r\n"
      "SmtpPort = 25\n\n"
      "SmtpPort = -7\n"
      "Text = \"a \\\"b\\\"\\r\\n\\u20AC \xC3\xA9\"\n");
  ASSERT_EQ(props.size(), 4u);
  EXPECT_TRUE(props[0].boolean);
  EXPECT_EQ(props[1].integer, 25);
  EXPECT_EQ(props[2].integer, -7);
  EXPECT_EQ(props[3].text, u"a \"b\"\r\n\u20AC \u00E9");
}

TEST(SettingsSource, ErrorsNameTheLine) {
  const char* bad[] = {"Key",         "Bad Key = 1", "K = 99999999999", "K = \"open",
                       "K = \"\\q\"", "K = maybe",   "K = \"\\u12\""};
  for (const char* text : bad) {
    try {
      ParseSettingsSource(std::string("A = 1\n") + text + "\n");
      ADD_FAILURE() << text;
    } catch (const SourceError& e) {
      EXPECT_EQ(e.line(), 2) << text;
    }
  }
}

TEST(SettingsSource, PasswordsAreStoredEnciphered) {
  const auto props = ParseSettingsSource(
      "HttpServer = \"up.example\"\nHttpAccount = \"ann\"\nHttpPassword = \"pw\"\nSmtpPassword = "
      "\"\"\n");
  EXPECT_EQ(props[2].text, EncipherPassword(u"pw", u"ann", u"up.example"));
  EXPECT_EQ(props[3].text, u"");
}

// A minimal PE32 image: headers, one ".rsrc" section with RCDATA "TOSTREL".
std::vector<std::uint8_t> MakePe(const std::vector<std::uint8_t>& payload, bool pe32plus = false) {
  const std::uint32_t rsrcSize =
      (0x80 + static_cast<std::uint32_t>(payload.size()) + 0x1FF) & ~0x1FFu;
  std::vector<std::uint8_t> f(0x200 + rsrcSize, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&f[at], &v, 2); };
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&f[at], &v, 4); };
  f[0] = 'M', f[1] = 'Z';
  put32(0x3C, 0x80);
  put32(0x80, 0x4550);
  put16(0x86, 1);  // sections
  const std::uint16_t optSize = pe32plus ? 240 : 224;
  put16(0x94, optSize);
  const std::size_t opt = 0x98;
  put16(opt, pe32plus ? 0x20B : 0x10B);
  const std::size_t dirs = opt + (pe32plus ? 112 : 96);
  put32(dirs - 4, 16);       // directory count
  put32(dirs + 16, 0x1000);  // resource directory RVA
  const std::size_t sec = opt + optSize;
  std::memcpy(&f[sec], ".rsrc", 5);
  put32(sec + 8, rsrcSize);
  put32(sec + 12, 0x1000);
  put32(sec + 16, rsrcSize);
  put32(sec + 20, 0x200);
  // Resource tree at file 0x200 (RVA 0x1000).
  const std::size_t r = 0x200;
  put16(r + 14, 1);   // type: one id entry
  put32(r + 16, 10);  // RT_RCDATA
  put32(r + 20, 0x80000000u | 0x18);
  put16(r + 0x18 + 12, 1);  // name: one named entry
  put32(r + 0x18 + 16, 0x80000000u | 0x60);
  put32(r + 0x18 + 20, 0x80000000u | 0x30);
  put16(r + 0x30 + 14, 1);  // language
  put32(r + 0x30 + 16, 0x409);
  put32(r + 0x30 + 20, 0x48);
  put32(r + 0x48, 0x1000 + 0x80);  // data entry
  put32(r + 0x48 + 4, static_cast<std::uint32_t>(payload.size()));
  const char16_t name[] = u"TOSTREL";
  put16(r + 0x60, 7);
  std::memcpy(&f[r + 0x62], name, 14);
  std::memcpy(&f[r + 0x80], payload.data(), payload.size());
  return f;
}

TEST(PeResources, FindsTheSettingsResourceInPe32AndPe32Plus) {
  const auto stream = WritePropertyStream({MakeIntProperty("SmtpPort", 25)});
  for (bool plus : {false, true}) {
    const auto r = FindPeResource(MakePe(stream, plus), kRtRcdata, u"tostrel");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->data, stream);
    EXPECT_EQ(r->language, 0x409);
    EXPECT_FALSE(FindPeResource(MakePe(stream, plus), kRtRcdata, u"OTHER"));
    EXPECT_FALSE(FindPeResource(MakePe(stream, plus), 3, u"TOSTREL"));
  }
}

TEST(PeResources, DamagedFilesAreReportedNotRead) {
  const auto stream = WritePropertyStream({});
  auto notPe = MakePe(stream);
  notPe[0x80] = 'X';
  EXPECT_THROW(FindPeResource(notPe, kRtRcdata, u"TOSTREL"), std::runtime_error);
  auto cut = MakePe(stream);
  cut.resize(0x250);
  EXPECT_THROW(FindPeResource(cut, kRtRcdata, u"TOSTREL"), std::runtime_error);
  auto huge = MakePe(stream);
  const std::uint32_t size = 0x7FFFFFF0;
  std::memcpy(&huge[0x200 + 0x48 + 4], &size, 4);
  EXPECT_THROW(FindPeResource(huge, kRtRcdata, u"TOSTREL"), std::runtime_error);
}

TEST(SettingsDump, PelmoraSettingsReadAsTheProgramReadsThem) {
  std::ifstream in(std::string(PELMORA_SOURCE_DIR) + "/app/pelmora.settings");
  ASSERT_TRUE(in);
  const std::string source((std::istreambuf_iterator<char>(in)), {});
  const auto stream = WritePropertyStream(ParseSettingsSource(source));
  const auto pe = MakePe(stream);
  const auto found = FindPeResource(pe, kRtRcdata, u"TOSTREL");
  ASSERT_TRUE(found);
  std::span<const std::uint8_t> view(found->data);
  const DumpResult dump = DumpSettings(&view, {});
  EXPECT_TRUE(dump.resourceUsable);
  auto has = [&](const std::string& line) {
    EXPECT_NE(dump.text.find(line), std::string::npos) << line << "\n" << dump.text;
  };
  has("SmtpPort           integer  25  (resource; 1 later value(s) ignored)");
  has("AutoDelay          integer  60  (default)");
  has("MailAddr           string   \"support@pelmora.example\"  (resource)");
  has("F1Classes          string   \"EDBEditError\"  (resource)");
  has("F1ShowCfg          integer  3  (resource)");
  has("ScrShotDepth       integer  8  (resource)");
  has("PrepAttMsg         string   \"Preparing attachments...\"  (resource)");
  has("FreezeTimeout      integer  60000  (resource)");
  has("Assistant1         string   \"SendAssistant|Send "
      "Assistant|ContactForm|DetailsForm|ScrShotForm\"");
  has("BitFaultMsg        string   \"The file \\\"%modname%\\\" seems to be corrupt!\"");
  EXPECT_EQ(dump.text.find("MinDebugInfo"), std::string::npos);
}

TEST(SettingsDump, MissingOrBrokenResourceShowsDefaults) {
  const DumpResult none = DumpSettings(nullptr, {});
  EXPECT_FALSE(none.resourceUsable);
  EXPECT_NE(none.text.find("no \"TOSTREL\" resource"), std::string::npos);
  EXPECT_NE(none.text.find("BugRepFile         string   \"bugreport.obr\"  (default)"),
            std::string::npos);
  auto bytes = WritePropertyStream({MakeIntProperty("AutoDelay", 3), MakeBoolProperty("X", true)});
  bytes[bytes.size() - 2] = 0x30;
  std::span<const std::uint8_t> view(bytes);
  const DumpResult bad = DumpSettings(&view, {});
  EXPECT_FALSE(bad.resourceUsable);
  EXPECT_NE(bad.text.find("Invalid settings resource ($30)"), std::string::npos);
  EXPECT_NE(bad.text.find("AutoDelay          integer  3  (resource)"), std::string::npos);
}

}  // namespace
}  // namespace ostrel

// The host tool's pieces: the built-in pages, page resources in PE files,
// their dump and the resource script.
#include "tools/pages/page_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "crash/base/utf.h"
#include "tests/unit/assistant/form_test_support.h"
#include "tools/pages/page_source.h"
#include "tools/settings/pe_resources.h"

namespace ostrel::assistant {
namespace {

const Latin1CodePage kLatin1;
const char* const kBuiltInPages[] = {"ContactForm", "DetailsForm", "ScrShotForm"};

std::string ReadSource(const std::string& page) {
  std::ifstream in(std::string(PELMORA_SOURCE_DIR) + "/crash/ui/assistant/pages/" + page + ".page");
  EXPECT_TRUE(in) << page;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Resource {
  std::u16string name;
  std::vector<std::uint8_t> data;
};

// A PE32 image whose one section holds RCDATA resources by name, and one by
// number (7) after them as a linker writes it.
std::vector<std::uint8_t> MakePe(const std::vector<Resource>& resources) {
  std::vector<std::uint8_t> r(0x18 + 16 + 8 * (resources.size() + 1), 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&r[at], &v, 2); };
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&r[at], &v, 4); };
  auto grow = [&](std::size_t n) {
    const std::size_t at = (r.size() + 3) & ~std::size_t{3};
    r.resize(at + n, 0);
    return at;
  };
  put16(14, 1);
  put32(16, 10);
  put32(20, 0x80000000u | 0x18);
  put16(0x18 + 12, static_cast<std::uint16_t>(resources.size()));
  put16(0x18 + 14, 1);
  std::vector<const std::vector<std::uint8_t>*> payloads;
  for (std::size_t i = 0; i <= resources.size(); ++i) {
    const bool named = i < resources.size();
    const std::size_t entry = 0x18 + 16 + 8 * i;
    const std::size_t langDir = grow(24);
    const std::size_t dataEntry = grow(16);
    put16(langDir + 14, 1);
    put32(langDir + 16, 0x409);
    put32(langDir + 20, static_cast<std::uint32_t>(dataEntry));
    put32(entry + 4, 0x80000000u | static_cast<std::uint32_t>(langDir));
    if (named) {
      const std::u16string& name = resources[i].name;
      const std::size_t str = grow(2 + 2 * name.size());
      put16(str, static_cast<std::uint16_t>(name.size()));
      std::memcpy(&r[str + 2], name.data(), 2 * name.size());
      put32(entry, 0x80000000u | static_cast<std::uint32_t>(str));
    } else {
      put32(entry, 7);
    }
    static const std::vector<std::uint8_t> numbered = {1, 2, 3};
    const auto& data = named ? resources[i].data : numbered;
    const std::size_t at = grow(data.size());
    std::copy(data.begin(), data.end(), r.begin() + static_cast<std::ptrdiff_t>(at));
    put32(dataEntry, 0x1000 + static_cast<std::uint32_t>(at));
    put32(dataEntry + 4, static_cast<std::uint32_t>(data.size()));
  }
  const std::uint32_t rsrcSize = (static_cast<std::uint32_t>(r.size()) + 0x1FF) & ~0x1FFu;
  std::vector<std::uint8_t> f(0x200, 0);
  auto fput16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&f[at], &v, 2); };
  auto fput32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&f[at], &v, 4); };
  f[0] = 'M', f[1] = 'Z';
  fput32(0x3C, 0x80);
  fput32(0x80, 0x4550);
  fput16(0x86, 1);
  fput16(0x94, 224);
  const std::size_t opt = 0x98;
  fput16(opt, 0x10B);
  fput32(opt + 92, 16);
  fput32(opt + 96 + 16, 0x1000);
  const std::size_t sec = opt + 224;
  std::memcpy(&f[sec], ".rsrc", 5);
  fput32(sec + 8, rsrcSize);
  fput32(sec + 12, 0x1000);
  fput32(sec + 16, rsrcSize);
  fput32(sec + 20, 0x200);
  r.resize(rsrcSize, 0);
  f.insert(f.end(), r.begin(), r.end());
  return f;
}

std::vector<std::uint8_t> CompiledBuiltIn(const std::string& page) {
  return WriteFormStream(ParsePageSource(ReadSource(page)));
}

// One line an object: its name and class, then each property as the engine
// reads it.
void Outline(const FormObject& o, std::string& out) {
  out += o.name + ": " + o.className;
  for (const StreamProperty& p : o.properties)
    out += " " + p.name + "=" + Utf16ToUtf8(PropertyText(p, kLatin1));
  out += "\n";
  for (const FormObject& c : o.children) Outline(c, out);
}

std::string Outline(const std::string& page) {
  std::string out;
  Outline(ParsePageSource(ReadSource(page)), out);
  return out;
}

TEST(BuiltInPages, HoldTheItemsTheAssistantShows) {
  const std::string buttons[] = {
      "ContinueBtn: INVButton Caption=Continue Enabled=1 NoOwnerDraw=0 Visible=1\n",
      "SkipBtn: INVButton Caption=Skip Enabled=0 NoOwnerDraw=0 Visible=1\n",
      "SkipBtn: INVButton Caption=Skip Enabled=1 NoOwnerDraw=0 Visible=1\n",
      "CancelBtn: INVButton Caption=Cancel Enabled=1 NoOwnerDraw=0 Visible=1\n"};
  EXPECT_EQ(Outline("ContactForm"),
            "ContactForm: TNVForm Message=Contact Information "
            "OnAction=Ostrel.HandleContactForm Timer=0\n" +
                buttons[0] + buttons[1] + buttons[3] +
                "Label1: INVLabel Caption=your name:\n"
                "NameEdit: INVEdit Lines=1 Optional=1 Colored=1 OutputName=contact name "
                "OutputType=nvoHeader\n"
                "Label2: INVLabel Caption=your email:\n"
                "EmailEdit: INVEdit Lines=1 Optional=0 Colored=1 OutputName=contact email "
                "OutputType=nvoHeader\n"
                "MemCheck: INVCheckBox Caption=remember me Checked=0\n");
  EXPECT_EQ(Outline("DetailsForm"),
            "DetailsForm: TNVForm Message=Error Details Timer=0\n" + buttons[0] + buttons[2] +
                buttons[3] +
                "Label1: INVLabel Caption=what were you doing when the error occurred?\n"
                "DetailsMemo: INVEdit Lines=9 Optional=0 Colored=1 OutputName=error details "
                "OutputType=nvoOwnSection\n");
  EXPECT_EQ(Outline("ScrShotForm"),
            "ScrShotForm: TNVForm Message=Screenshot Configuration ActiveControl=ContinueBtn "
            "OnAction=Ostrel.HandleScreenshotForm Timer=250\n" +
                buttons[0] + buttons[1] + buttons[3] +
                "AttachCheck: INVCheckBox Caption=attach a screenshot to the bug report "
                "Checked=1\n"
                "ScrShotImg: INVImage Border=1 Clickable=1\n"
                "Label1: INVLabel Caption=(click to edit image)\n");
  // Identifiers stay identifiers; texts are 8-bit strings.
  const FormObject scrShot = ParsePageSource(ReadSource("ScrShotForm"));
  EXPECT_EQ(scrShot.properties[1].typeByte, stream_type::kUtf8);
  EXPECT_EQ(scrShot.properties[0].typeByte, stream_type::kString);
}

TEST(BuiltInPages, DumpedFromAProgramTheyCompileToTheSameBytes) {
  std::vector<Resource> resources;
  for (const char* page : kBuiltInPages)
    resources.push_back({PageResourceName(Utf8ToUtf16(page)), CompiledBuiltIn(page)});
  resources.push_back({u"TOSTREL", {'T', 'P', 'F', '0'}});
  const auto pe = MakePe(resources);
  int pages = 0;
  for (const std::u16string& name : ListPeResourceNames(pe, kRtRcdata)) {
    if (!IsPageResourceName(name)) continue;
    const auto found = FindPeResource(pe, kRtRcdata, name);
    ASSERT_TRUE(found);
    const PageDump dump = DumpPage(Utf16ToUtf8(name), found->data, kLatin1, true);
    EXPECT_TRUE(dump.complete) << dump.errors;
    EXPECT_EQ(dump.text.rfind("# " + Utf16ToUtf8(name) + "\n", 0), 0u);
    EXPECT_EQ(WriteFormStream(ParsePageSource(dump.text)), resources[pages].data) << dump.text;
    ++pages;
  }
  EXPECT_EQ(pages, 3);
}

TEST(PeResources, ListsTheNamedResourcesOfAType) {
  const auto pe = MakePe({{u"OAPONE", {1}}, {u"OAPTWO", {2, 2}}, {u"TOSTREL", {3, 3, 3}}});
  EXPECT_EQ(ListPeResourceNames(pe, kRtRcdata),
            (std::vector<std::u16string>{u"OAPONE", u"OAPTWO", u"TOSTREL"}));
  EXPECT_TRUE(ListPeResourceNames(pe, 3).empty());
  const auto two = FindPeResource(pe, kRtRcdata, u"oaptwo");
  ASSERT_TRUE(two);
  EXPECT_EQ(two->data, (std::vector<std::uint8_t>{2, 2}));
  EXPECT_EQ(FindPeResource(pe, kRtRcdata, u"TOSTREL")->data.size(), 3u);
  EXPECT_FALSE(FindPeResource(pe, kRtRcdata, u"OAPTHREE"));
}

TEST(PeResources, DamagedListsAreReportedNotRead) {
  const auto pe = MakePe({{u"OAPONE", {1}}});
  auto farName = pe;
  const std::uint32_t outside = 0x80000000u | 0x7FFFFF00u;
  std::memcpy(&farName[0x200 + 0x18 + 16], &outside, 4);
  EXPECT_THROW(ListPeResourceNames(farName, kRtRcdata), std::runtime_error);
  auto notPe = pe;
  notPe[0] = 'X';
  EXPECT_THROW(ListPeResourceNames(notPe, kRtRcdata), std::runtime_error);
  const std::vector<std::uint8_t> cut(pe.begin(), pe.begin() + 0x100);
  EXPECT_THROW(ListPeResourceNames(cut, kRtRcdata), std::runtime_error);
}

TEST(PageDump, StreamsThatStopShowWhatTheyHeld) {
  const auto full = CompiledBuiltIn("ContactForm");
  const std::vector<std::uint8_t> cut(full.begin(), full.begin() + 150);
  const PageDump dump = DumpPage("OAPCONTACTFORM", cut, kLatin1, false);
  EXPECT_FALSE(dump.complete);
  EXPECT_EQ(dump.text.rfind("object ContactForm: TNVForm\n", 0), 0u);
  EXPECT_EQ(dump.errors.rfind("OAPCONTACTFORM: Internal error: Invalid assistant resource "
                              "(truncated). (at offset ",
                              0),
            0u)
      << dump.errors;
  // What was shown reads as a page: the part before the cut.
  const FormObject shown = ParsePageSource(dump.text);
  EXPECT_EQ(shown.properties.size(), 3u);

  test::StreamBytes unknown;
  unknown.Object("TNVForm", "Page").Property("Font", 33);
  const PageDump bad = DumpPage("x.bin", unknown.data, kLatin1, false);
  EXPECT_FALSE(bad.complete);
  EXPECT_NE(bad.errors.find("x.bin: Internal error: Invalid assistant resource (33)."),
            std::string::npos);
  EXPECT_EQ(bad.text, "object Page: TNVForm\nend\n");

  const PageDump none = DumpPage("x.bin", std::vector<std::uint8_t>{'M', 'Z'}, kLatin1, true);
  EXPECT_FALSE(none.complete);
  EXPECT_NE(none.errors.find("no TPF0 signature"), std::string::npos);
}

TEST(PageResources, NamesAndScript) {
  EXPECT_TRUE(IsPageResourceName(u"OAPCONTACTFORM"));
  EXPECT_TRUE(IsPageResourceName(u"oapX"));
  EXPECT_FALSE(IsPageResourceName(u"TOSTREL"));
  EXPECT_FALSE(IsPageResourceName(u"OA"));
  EXPECT_EQ(ResourceScript({{"ContactForm", "contactform.bin"}, {"Own_2", "sub\\own 2.bin"}}),
            "OAPCONTACTFORM RCDATA \"contactform.bin\"\n"
            "OAPOWN_2 RCDATA \"sub\\\\own 2.bin\"\n");
  EXPECT_EQ(ResourceScript({}), "");
  EXPECT_THROW(ResourceScript({{"Bad Name", "a.bin"}}), std::invalid_argument);
  EXPECT_THROW(ResourceScript({{"", "a.bin"}}), std::invalid_argument);
  EXPECT_THROW(ResourceScript({{"Page", "a\".bin"}}), std::invalid_argument);
  EXPECT_THROW(ResourceScript({{"Page", ""}}), std::invalid_argument);
}

TEST(PageResources, AProgramsPageReplacesItsNamesake) {
  std::vector<FormObject> pages;
  for (const char* page : kBuiltInPages) AddPage(pages, ParsePageSource(ReadSource(page)));
  AddPage(pages, {"TNVForm", "detailsFORM", {MakeIntProperty("Timer", 5)}, {}});
  AddPage(pages, {"TNVForm", "OwnForm", {}, {}});
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(pages[0].name, "ContactForm");
  EXPECT_EQ(pages[1].name, "detailsFORM");
  EXPECT_TRUE(pages[1].children.empty());
  EXPECT_EQ(pages[2].name, "ScrShotForm");
  EXPECT_EQ(pages[3].name, "OwnForm");
}

}  // namespace
}  // namespace ostrel::assistant

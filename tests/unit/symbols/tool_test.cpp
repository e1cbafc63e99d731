#include <gtest/gtest.h>

#include "tests/unit/symbols/test_image.h"
#include "crash/report/symbols/container.h"
#include "tools/symbols/pe_editor.h"
#include "tools/symbols/symbol_collector.h"

namespace ostrel {
namespace {

TEST(SymbolTool, ReadableNamesDropParametersReturnTypesAndDecoration) {
  using tools::ReadableName;
  EXPECT_EQ(ReadableName("__ZN12TPelmoraForm12ShowWebsitesEv", true), "TPelmoraForm::ShowWebsites");
  EXPECT_EQ(ReadableName("_main", true), "main");
  EXPECT_EQ(ReadableName("_WinMain@16", true), "WinMain");
  EXPECT_EQ(ReadableName("@fastcall@8", true), "fastcall");
  EXPECT_EQ(ReadableName("__ZN6ostrel6OnLineEPv@8", true), "ostrel::OnLine");
  EXPECT_EQ(ReadableName("_ZN1A4workEv", false), "A::work");
  // Template function: the demangled form starts with its return type.
  EXPECT_EQ(ReadableName("_Z3maxIiET_S0_S0_", false), "max<int>");
  EXPECT_EQ(ReadableName("_ZNK1AclEi", false), "A::operator()");
  EXPECT_EQ(ReadableName("_ZN1AcviEv", false), "A::operator int");
  EXPECT_EQ(ReadableName("not_mangled", false), "not_mangled");
  EXPECT_EQ(ReadableName("_rvOK.constprop.0.isra.0", true), "rvOK");
  EXPECT_EQ(tools::WithoutSignature("Load(std::vector<int> const&) [clone .isra.0]"), "Load");
  EXPECT_EQ(tools::CollapseTemplates("std::map<int, std::vector<int> >::operator<<"),
            "std::map<...>::operator<<");
  EXPECT_EQ(tools::CollapseTemplates("A<B>::operator-><C>"), "A<...>::operator-><...>");
  // Too long for the container: the function keeps its name, not its arguments.
  const std::string longName =
      "_ZNSt8_Rb_treeIiSt4pairIKiSt6vectorIS2_IS2_IS2_IiSaIiEESaIS3_EESaIS4_EESaIS5_EEESt10_"
      "Select1stIS7_ESt4lessIiESaIS7_EE24_M_get_insert_unique_posERS1_";
  const std::string readable = ReadableName(longName, false);
  EXPECT_EQ(readable.size() > 255 ? "" : readable.substr(readable.rfind("::")),
            "::_M_get_insert_unique_pos");
}

TEST(SymbolTool, EditKeepsSectionsAndResourcesAndAddsOneLast) {
  const TResourceEntry icon{{3, {}}, {1, {}}, 0x409, 0, {1, 2, 3, 4, 5}};
  const TResourceEntry settings{{10, {}}, {0, u"TOSTREL"}, 0, 0, {'T', 'P', 'F', '0'}};
  const std::vector<std::uint8_t> original = test::MappedImage({icon, settings});
  const TPeImage before(original, false);
  ASSERT_TRUE(before.valid());

  tools::TPeEdit edit;
  edit.resources = ReadAllResources(before);
  ASSERT_EQ(edit.resources.size(), 2u);
  PutResource(edit.resources, {{0, kSymbolResourceType}, {0, kSymbolResourceName}, 0, 0, {9, 9}});
  std::string error;
  const auto edited = tools::EditPe(original, edit, error);
  ASSERT_FALSE(edited.empty()) << error;

  const TPeImage after(edited, false);
  ASSERT_TRUE(after.valid());
  ASSERT_EQ(after.sections().size(), before.sections().size() + 1);
  for (std::size_t i = 0; i < before.sections().size(); ++i) {
    EXPECT_EQ(after.sections()[i].virtualAddress, before.sections()[i].virtualAddress);
    EXPECT_EQ(after.sections()[i].rawPointer, before.sections()[i].rawPointer);
  }
  EXPECT_TRUE(std::equal(original.begin() + test::kCodeRva,
                         original.begin() + test::kCodeRva + test::kCodeSize,
                         edited.begin() + test::kCodeRva));
  EXPECT_GT(after.sections().back().virtualAddress, before.sections().back().virtualAddress);
  EXPECT_GE(after.sizeOfImage(), after.sections().back().virtualAddress + 0x1000);

  const auto mapped = tools::MapImage(after);
  const TPeImage loaded(mapped, true);
  const auto found = loaded.FindResourceData({0, u"ostrelsym"}, {0, kSymbolResourceName});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], 9);
  const auto iconData = loaded.FindResourceData({3, {}}, {1, {}});
  EXPECT_EQ(std::vector<std::uint8_t>(iconData.begin(), iconData.end()), icon.data);
  EXPECT_EQ(loaded.FindResourceData({10, {}}, {0, u"TOSTREL"}).size(), 4u);

  // A second run replaces the section it added instead of stacking another.
  const auto again = tools::EditPe(edited, edit, error);
  EXPECT_EQ(TPeImage(again, false).sections().size(), after.sections().size());
}

TEST(SymbolTool, RefusesWhatItCannotEditSafely) {
  std::string error;
  EXPECT_TRUE(tools::EditPe({'M', 'Z'}, {}, error).empty());
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace ostrel

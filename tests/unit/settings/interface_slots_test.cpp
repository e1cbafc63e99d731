// Handlers in other modules call the settings interfaces by slot: the order
// of the operations is part of the interface.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "ostrel/reporter_settings.h"

namespace ostrel {
namespace {

// Itanium C++ ABI: a pointer to a virtual member holds 1 + its vtable offset.
template <class M>
std::size_t Slot(M member) {
  struct {
    std::uintptr_t ptr;
    std::ptrdiff_t adj;
  } rep;
  static_assert(sizeof(M) == sizeof rep);
  std::memcpy(&rep, &member, sizeof rep);
  return (rep.ptr - 1) / sizeof(void*);
}

using RS = IReporterSettings;
using MS = IReporterModuleSettings;

TEST(InterfaceSlots, ReporterSettingsInTheirFixedOrder) {
  EXPECT_EQ(Slot(&RS::QueryInterface), 0u);
  EXPECT_EQ(Slot(&RS::OwnerModule), 3u);
  EXPECT_EQ(Slot(&RS::AutoSave), 4u);
  EXPECT_EQ(Slot(&RS::SetAutoSave), 5u);
  EXPECT_EQ(Slot(&RS::SetAutoDelay), 25u);
  EXPECT_EQ(Slot(&RS::SendBtnVis), 26u);
  EXPECT_EQ(Slot(&RS::CloseBtnVis), 32u);
  EXPECT_EQ(Slot(&RS::SetSendBtnVis), 33u);
  EXPECT_EQ(Slot(&RS::FocusedBtn), 40u);
  EXPECT_EQ(Slot(&RS::HttpServer), 64u);
  EXPECT_EQ(Slot(&RS::SetMailFrom), 105u);
  EXPECT_EQ(Slot(&RS::AdditionalFields), 106u);
  EXPECT_EQ(Slot(&RS::AttachBugRep), 107u);
  EXPECT_EQ(Slot(&RS::SetScrShotZip), 124u);
  EXPECT_EQ(Slot(&RS::AdditionalAttachments), 125u);
  EXPECT_EQ(Slot(&RS::BugRepFile), 126u);
  EXPECT_EQ(Slot(&RS::SetLimitDisAsm), 157u);
  EXPECT_EQ(Slot(&RS::PluginEnabled), 158u);
  EXPECT_EQ(Slot(&RS::SetPluginEnabled), 159u);
  EXPECT_EQ(Slot(&RS::VersionText), 160u);
  EXPECT_EQ(Slot(&RS::FindAssistant), 161u);
  EXPECT_EQ(Slot(&RS::TitleBar), 162u);
  EXPECT_EQ(Slot(&RS::SetBitFaultMsg), 169u);
  EXPECT_EQ(Slot(&RS::SendBtnTxt), 170u);
  EXPECT_EQ(Slot(&RS::SetSendBtnTxt), 177u);
  EXPECT_EQ(Slot(&RS::OkBtnTxt), 184u);
  EXPECT_EQ(Slot(&RS::SetDetailsBtnTxt), 187u);
  EXPECT_EQ(Slot(&RS::PlWaitTitle), 188u);
  EXPECT_EQ(Slot(&RS::SetPlWaitText), 191u);
  EXPECT_EQ(Slot(&RS::BugTrTitle), 192u);
  EXPECT_EQ(Slot(&RS::SetSendFailMsg), 217u);
}

TEST(InterfaceSlots, ModuleSettingsFollowReporterSettings) {
  EXPECT_EQ(Slot(&MS::SettingsFound), 218u);
  EXPECT_EQ(Slot(&MS::SetWindowsLogo), 226u);
  EXPECT_EQ(Slot(&MS::CheckUnderruns), 229u);
  EXPECT_EQ(Slot(&MS::F1Classes), 230u);
  EXPECT_EQ(Slot(&MS::SetF2Classes), 233u);
  EXPECT_EQ(Slot(&MS::F1NoBugRep), 234u);
  EXPECT_EQ(Slot(&MS::SetGnNoBugRep), 239u);
  EXPECT_EQ(Slot(&MS::F1ShowCfg), 258u);
  EXPECT_EQ(Slot(&MS::SetGnAssis), 269u);
  EXPECT_EQ(Slot(&MS::ReparseSettings), 270u);
}

TEST(InterfaceSlots, SettingsLookup) {
  EXPECT_EQ(Slot(&ISettingsLookup::LookupBool), 3u);
  EXPECT_EQ(Slot(&ISettingsLookup::LookupDword), 6u);
  EXPECT_EQ(Slot(&ISettingsLookup::ImplementingObject), 9u);
}

}  // namespace
}  // namespace ostrel

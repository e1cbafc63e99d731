#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "tests/wine/symbols/probe_functions.h"
#include "tests/wine/symbols/test_files.h"

namespace ostrel {
namespace {

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

using test::Folder;
using test::OwnPath;
using test::ReadBytes;
using test::WriteBytes;

std::uintptr_t OwnBase() { return reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)); }

// Offset of the symbol container inside a program file.
std::size_t ContainerOffset(const std::vector<std::uint8_t>& file) {
  const TPeImage image(file, false);
  const auto found = image.FindResourceData({0, kSymbolResourceType}, {0, kSymbolResourceName});
  return found.empty() ? 0 : static_cast<std::size_t>(found.data() - file.data());
}

// Copies of this program (and variants the build made) loaded as modules
// from a scratch folder.
class SymbolFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = test::ScratchFolder(L"ostrel-symbols");
    buildDir_ = Folder(OwnPath());
  }
  void TearDown() override {
    for (HMODULE m : loaded_) FreeLibrary(m);
    ClearSymbolCache();
    for (const std::wstring& f : written_) DeleteFileW(f.c_str());
    RemoveDirectoryW(scratch_.c_str());
  }

  std::wstring Put(const std::wstring& name, const std::vector<std::uint8_t>& data) {
    WriteBytes(scratch_ + name, data);
    written_.push_back(scratch_ + name);
    return scratch_ + name;
  }
  std::wstring PutBuilt(const std::wstring& name, const std::wstring& built) {
    return Put(name, ReadBytes(buildDir_ + built));
  }
  // Base of the loaded copy, or 0.
  std::uintptr_t Load(const std::wstring& path) {
    HMODULE m = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (m != nullptr) loaded_.push_back(m);
    return reinterpret_cast<std::uintptr_t>(m);
  }
  // A loose file naming one function at ProbeAlpha, to tell where names came from.
  std::vector<std::uint8_t> LooseFile() {
    const TPeImage own({reinterpret_cast<const std::uint8_t*>(OwnBase()), 0x1000}, true);
    TSymbolSource source;
    source.segments = {{0, own.codeEnd() - own.codeBegin(), "loose.cpp", true}};
    source.publics = {{"FromLooseFile", AlphaRva() - own.codeBegin()}};
    return BuildContainer(source, false, 1, 2);
  }
  static std::uint32_t AlphaRva() {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&ProbeAlpha) - OwnBase());
  }

  std::wstring scratch_, buildDir_;
  std::vector<std::wstring> written_;
  std::vector<HMODULE> loaded_;
};

TEST(SymbolsOfTheProgram, OwnFunctionsHaveFileFunctionAndLine) {
  int line = 0;
  const std::uintptr_t alpha = ProbeAlpha(&line);
  TAddressInfo info = DescribeAddress(alpha);
  ASSERT_TRUE(info.found);
  EXPECT_TRUE(EndsWithNoCase(info.moduleFileName, u"symbols_wine_tests.exe"));
  EXPECT_EQ(Narrow(info.unit), "probe_functions");
  EXPECT_EQ(Narrow(info.functionName), "ProbeAlpha");
  EXPECT_EQ(info.functionStart, reinterpret_cast<std::uintptr_t>(&ProbeAlpha));
  EXPECT_EQ(info.line, line);

  const std::uintptr_t member = probe::TProbeForm::ShowWebsites(&line);
  info = DescribeAddress(member);
  EXPECT_EQ(Narrow(info.functionName), "probe.TProbeForm.ShowWebsites");
  EXPECT_EQ(info.line, line);

  const int here = __LINE__ + 1;
  info = DescribeAddress(0);
  EXPECT_EQ(Narrow(info.unit), "symbols_wine_test");
  EXPECT_EQ(info.line, here);
}

TEST(SymbolsOfTheProgram, CachedAndAnsweringTheDisassembler) {
  const auto first = SymbolsForModule(0);
  ASSERT_TRUE(first->valid);
  EXPECT_EQ(first.get(), SymbolsForModule(reinterpret_cast<std::uintptr_t>(&ProbeAlpha)).get());
  const auto start = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&ProbeAlpha));
  EXPECT_EQ(Narrow(FunctionNameAt(start)), "probe_functions.ProbeAlpha");
  EXPECT_EQ(Narrow(FunctionNameAt(start + 1)), "");
  const TDisasmSymbols callbacks = SymbolCallbacksForDisassembler();
  int line = 0;
  std::uint32_t from = 0, to = 0;
  callbacks.lineRangeAt(start, line, from, to);
  EXPECT_GT(line, 0);
  EXPECT_EQ(from, start);
  EXPECT_GT(to, start);
  EXPECT_EQ(callbacks.exportNameAt(start), "ProbeAlpha");
  EXPECT_FALSE(SymbolsForModule(1)->valid);  // not in any module
}

TEST_F(SymbolFallback, StrippedCopyUsesTheLooseFileThenExportNames) {
  const std::wstring withFile = PutBuilt(L"bare_ostrel.exe", L"symbols_wine_bare.exe");
  PutBuilt(L"bare_ostrel.ostrel", L"symbols_wine_tests.ostrel");
  const std::uintptr_t base = Load(withFile);
  ASSERT_NE(base, 0u);
  TAddressInfo info = DescribeAddress(base + AlphaRva() + 3);
  EXPECT_TRUE(info.found);
  EXPECT_EQ(Narrow(info.functionName), "ProbeAlpha");
  EXPECT_EQ(Narrow(info.unit), "probe_functions");

  const std::uintptr_t bare = Load(PutBuilt(L"bare_none.exe", L"symbols_wine_bare.exe"));
  ASSERT_NE(bare, 0u);
  EXPECT_FALSE(SymbolsForModule(bare + AlphaRva())->valid);
  EXPECT_FALSE(DescribeAddress(bare + AlphaRva()).found);
  EXPECT_EQ(Narrow(ExportNameAt(bare, static_cast<std::uint32_t>(bare + AlphaRva()), false)),
            "ProbeAlpha");
  EXPECT_EQ(Narrow(ExportNameAt(bare, static_cast<std::uint32_t>(bare + AlphaRva() + 1), false)),
            "");
}

TEST_F(SymbolFallback, DamagedResourcesAreRefusedQuietlyForTheNextSource) {
  const std::vector<std::uint8_t> original = ReadBytes(OwnPath());
  const std::size_t at = ContainerOffset(original);
  ASSERT_NE(at, 0u);
  std::vector<std::uint8_t> corrupt = original;
  corrupt[at + kHeaderV3 + 40] ^= 0xFF;
  std::vector<std::uint8_t> truncated = original;
  truncated[at + 14] += 1;  // payload length one beyond the data
  for (const auto& [name, bytes] : {std::pair{std::wstring(L"corrupt"), corrupt},
                                    std::pair{std::wstring(L"truncated"), truncated}}) {
    const std::wstring exe = Put(name + L".exe", bytes);
    Put(name + L".ostrel", LooseFile());
    const std::uintptr_t base = Load(exe);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(Narrow(DescribeAddress(base + AlphaRva()).functionName), "FromLooseFile")
        << Narrow(std::u16string(name.begin(), name.end()));
  }
}

TEST_F(SymbolFallback, MinimalDataNeedsTheLooseFileWithItsStamp) {
  const std::uintptr_t match = Load(PutBuilt(L"minimal_match.exe", L"symbols_wine_min.exe"));
  PutBuilt(L"minimal_match.ostrel", L"symbols_wine_min.ostrel");
  ASSERT_NE(match, 0u);
  EXPECT_EQ(Narrow(DescribeAddress(match + AlphaRva()).functionName), "ProbeAlpha");

  const std::uintptr_t wrong = Load(PutBuilt(L"minimal_wrong.exe", L"symbols_wine_min.exe"));
  Put(L"minimal_wrong.ostrel", LooseFile());  // named, but another stamp
  ASSERT_NE(wrong, 0u);
  const auto symbols = SymbolsForModule(wrong + AlphaRva());
  ASSERT_TRUE(symbols->valid);
  EXPECT_EQ(symbols->stamp.size(), 31u);
  const std::string name = Narrow(FunctionNameAt(static_cast<std::uint32_t>(wrong + AlphaRva())));
  EXPECT_NE(name.find(".public%"), std::string::npos) << name;
  EXPECT_NE(name.find(" (minimal_wrong.exe)"), std::string::npos) << name;
  EXPECT_EQ(DescribeAddress(wrong + AlphaRva()).line, 0);
}

}  // namespace
}  // namespace ostrel

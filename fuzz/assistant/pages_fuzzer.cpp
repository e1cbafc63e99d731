// libFuzzer target: an assistant page's form stream, read, written back and
// shown as source, and the readable source itself. The first byte picks the
// target.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "crash/base/utf.h"
#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"
#include "tools/pages/page_source.h"

namespace {

using namespace ostrel;
using namespace ostrel::assistant;

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

const Latin1CodePage kLatin1;

// A text as UTF-8 can carry it: unpaired surrogates become U+FFFD.
std::u16string Carried(const std::u16string& text) { return Utf8ToUtf16(Utf16ToUtf8(text)); }

// The same page for the engine: names, classes and every value as it reads
// them; with `sameTypes` the stored types too.
bool SameTree(const FormObject& a, const FormObject& b, bool sameTypes, bool carried) {
  if (a.className != b.className || a.name != b.name ||
      a.properties.size() != b.properties.size() || a.children.size() != b.children.size())
    return false;
  for (std::size_t i = 0; i < a.properties.size(); ++i) {
    const StreamProperty &p = a.properties[i], &q = b.properties[i];
    std::u16string x = PropertyText(p, kLatin1), y = PropertyText(q, kLatin1);
    if (carried) x = Carried(x), y = Carried(y);
    if (p.name != q.name || p.kind != q.kind || x != y) return false;
    if (sameTypes && p.typeByte != q.typeByte) return false;
  }
  for (std::size_t i = 0; i < a.children.size(); ++i)
    if (!SameTree(a.children[i], b.children[i], sameTypes, carried)) return false;
  return true;
}

// Texts the stored type cannot carry once decoded and encoded again (a
// replacement character is longer than the bytes it replaced) go in the
// type the writer picks.
void LetTheWriterPickTextTypes(FormObject& o) {
  for (StreamProperty& p : o.properties)
    if (p.wide) p.typeByte = 0;
  for (FormObject& c : o.children) LetTheWriterPickTextTypes(c);
}

void FuzzStream(std::span<const std::uint8_t> data) {
  const ParsedForm parsed = ReadFormStream(data);
  const bool fault = parsed.stop == FormStop::UnknownType || parsed.stop == FormStop::Truncated ||
                     parsed.stop == FormStop::TooDeep;
  Trap(FormStreamErrorText(parsed).empty() != fault);
  Trap(parsed.stopOffset <= data.size());
  if (parsed.stop != FormStop::End) return;

  std::vector<std::uint8_t> written;
  bool sameTypes = true;
  try {
    written = WriteFormStream(parsed.root);
  } catch (const std::invalid_argument&) {
    FormObject picked = parsed.root;
    LetTheWriterPickTextTypes(picked);
    written = WriteFormStream(picked);
    sameTypes = false;
  }
  const ParsedForm again = ReadFormStream(written);
  Trap(again.stop == FormStop::End && again.stopOffset == written.size());
  Trap(SameTree(parsed.root, again.root, sameTypes, false));
  if (sameTypes) Trap(WriteFormStream(again.root) == written);

  // Shown as source, the page compiles to the same values.
  std::string source;
  try {
    source = WritePageSource(parsed.root, kLatin1);
  } catch (const std::invalid_argument&) {
    return;
  }
  const FormObject compiled = ParsePageSource(source);
  Trap(SameTree(parsed.root, compiled, false, true));
}

void FuzzSource(std::span<const std::uint8_t> data) {
  FormObject page;
  try {
    page =
        ParsePageSource(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  } catch (const PageSourceError& e) {
    Trap(e.line() >= 1);
    return;
  }
  // What a source holds, the stream holds, and shows as the same source.
  const std::vector<std::uint8_t> stream = WriteFormStream(page);
  const ParsedForm read = ReadFormStream(stream);
  Trap(read.stop == FormStop::End && SameTree(page, read.root, true, false));
  const FormObject again = ParsePageSource(WritePageSource(read.root, kLatin1));
  Trap(WriteFormStream(again) == stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  if (data[0] & 1)
    FuzzSource(rest);
  else
    FuzzStream(rest);
  return 0;
}

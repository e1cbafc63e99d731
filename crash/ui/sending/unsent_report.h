#pragma once
// A report that no way of sending could deliver, as it waits on disk for
// the program's next start: a short head (why it failed, when) and the
// report itself, in UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::sending {

struct UnsentReport {
  std::u16string reason;       // why the last way failed; one line
  std::uint64_t fileTime = 0;  // UTC, when delivery gave up
  std::u16string text;         // the whole report
};

// The first line of every such file.
inline constexpr std::string_view kUnsentHead = "Ostrel unsent report 1";

std::string FormatUnsentReport(const UnsentReport& report);
// Nothing, with the reason in `error`, for bytes that are not such a file
// or that were cut short.
std::optional<UnsentReport> ParseUnsentReport(std::string_view bytes, std::string& error);

// "<report file name without extension>-unsent-<time>-<process>.txt", so
// that reports of one program sort by time and two processes never clash.
std::u16string UnsentFileName(std::u16string_view reportFileName, std::uint64_t fileTime,
                              std::uint32_t processId);
// The wildcard pattern those names match.
std::u16string UnsentFilePattern(std::u16string_view reportFileName);

// The offer's text with "%reason%" replaced; a reason that is empty reads
// "unknown reason".
std::u16string UnsentOfferText(std::u16string_view message, std::u16string_view reason);

}  // namespace ostrel::sending

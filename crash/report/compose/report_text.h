#pragma once
// The report as one text: the header lines with their labels padded to one
// column, then each section after an empty line, under its title.
#include <cstdint>
#include <string>

#include "crash/report/compose/report_fields_list.h"

namespace ostrel {

class IMemoryReader;

std::u16string JoinReportText(const TReportFields& header, const TReportFields& sections);

struct CpuRegisters {
  std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0, eip = 0, esp = 0, ebp = 0;
};
// Nine lines "eax = 00000000" ... "ebp = ...".
std::u16string CpuRegistersText(const CpuRegisters& registers);

// Up to 20 lines of 16 bytes from the stack pointer, never past regionEnd
// (0: no limit), each with the bytes in hex and as characters.
std::u16string StackDumpText(const IMemoryReader& memory, std::uint32_t stackPointer,
                             std::uint32_t regionEnd);

// The "exception message" field: none when it equals the class name;
// trailing "." and "!" become one ".", line breaks become blanks, double
// blanks single ones.
std::u16string ExceptionMessageField(const std::u16string& className,
                                     const std::u16string& message);

// "$" and 8 lower-case hex digits.
std::u16string Dollar8(std::uint32_t value);

}  // namespace ostrel

// Turns a linked PE file's own symbol table and DWARF into the container's
// units, publics and lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/pe_image.h"

namespace ostrel::tools {

struct TCoffFunction {
  std::string name;  // as stored, with the platform's leading underscore
  std::uint32_t rva = 0;
  bool external = false;
};

// Function symbols of code sections from the COFF symbol table.
std::vector<TCoffFunction> ReadCoffFunctions(const TPeImage& file);

// A decorated name made readable: "TPelmoraForm::ShowWebsites", no
// parameters, no return type.
std::string ReadableName(const std::string& symbol, bool fromCoff);

// Removes a trailing parameter list (and qualifiers after it) and a leading
// return type from a demangled name.
std::string WithoutSignature(const std::string& demangled);

// Template argument lists written as "<...>" ("operator<" and the like kept).
std::string CollapseTemplates(const std::string& name);

// Everything the container of this file will hold; false with a message.
bool CollectSymbols(const TPeImage& file, TSymbolSource& out, std::string& error);

}  // namespace ostrel::tools

// Reading a Windows module file as data, as a browser's plug-in scan does before it loads
// anything: the machine it was built for and the names it exports. Pure: bytes in, facts out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const uint16_t PE_MACHINE_I386 = 0x014c;
const uint16_t PE_MACHINE_AMD64 = 0x8664;

struct PeImageFacts {
  uint16_t machine = 0;
  std::vector<std::string> exportNames;  // in the export directory's order
};

// Fills `out` from the bytes of a module file. Returns false, with a short `error`, for data
// that is not a PE image or whose headers or export names lie outside it.
bool readPeImage(const std::vector<char>& data, PeImageFacts* out, std::string* error);

// "i386", "x86-64", or "machine 0x1c4" for others.
std::string peMachineName(uint16_t machine);

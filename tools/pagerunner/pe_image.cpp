#include "tools/pagerunner/pe_image.h"

#include <cstdio>

namespace {

// Every read is checked against the end of the data: the file may be anything.
bool read16(const std::vector<char>& d, size_t at, uint16_t* v) {
  if (at > d.size() || d.size() - at < 2) return false;
  *v = static_cast<uint16_t>(static_cast<unsigned char>(d[at]) |
                             static_cast<unsigned char>(d[at + 1]) << 8);
  return true;
}

bool read32(const std::vector<char>& d, size_t at, uint32_t* v) {
  uint16_t lo, hi;
  if (!read16(d, at, &lo) || !read16(d, at + 2, &hi)) return false;
  *v = lo | static_cast<uint32_t>(hi) << 16;
  return true;
}

const size_t SECTION_HEADER_SIZE = 40;
const uint32_t MAX_EXPORT_NAMES = 65536;
const size_t MAX_EXPORT_NAME = 1024;

// The file offset of `rva`, through the section table; false when no section's file data
// holds it.
bool fileOffset(const std::vector<char>& d, size_t sections, uint16_t count, uint32_t rva,
                size_t* out) {
  for (uint16_t i = 0; i < count; ++i) {
    size_t at = sections + i * SECTION_HEADER_SIZE;
    uint32_t address, rawSize, rawOffset;
    if (!read32(d, at + 12, &address) || !read32(d, at + 16, &rawSize) ||
        !read32(d, at + 20, &rawOffset))
      return false;
    if (rva >= address && rva - address < rawSize) {
      *out = static_cast<size_t>(rawOffset) + (rva - address);
      return *out < d.size();
    }
  }
  return false;
}

}  // namespace

bool readPeImage(const std::vector<char>& d, PeImageFacts* out, std::string* error) {
  PeImageFacts facts;
  uint32_t peAt;
  if (d.size() < 64 || d[0] != 'M' || d[1] != 'Z' || !read32(d, 0x3c, &peAt)) {
    *error = "not a Windows module (no MZ header)";
    return false;
  }
  uint32_t signature;
  if (!read32(d, peAt, &signature) || signature != 0x00004550) {
    *error = "not a Windows module (no PE header)";
    return false;
  }
  size_t coff = static_cast<size_t>(peAt) + 4;
  uint16_t sectionCount, optionalSize, magic;
  if (!read16(d, coff, &facts.machine) || !read16(d, coff + 2, &sectionCount) ||
      !read16(d, coff + 16, &optionalSize) || !read16(d, coff + 20, &magic)) {
    *error = "truncated PE header";
    return false;
  }
  size_t optional = coff + 20;
  size_t sections = optional + optionalSize;
  // The data directories start at 96 (PE32) or 112 (PE32+); the export directory is first.
  size_t directories = magic == 0x10b ? 96 : magic == 0x20b ? 112 : 0;
  if (directories == 0) {
    *error = "unknown optional header";
    return false;
  }
  uint32_t directoryCount = 0, exportRva = 0;
  if (optionalSize >= directories + 8 &&
      (!read32(d, optional + directories - 4, &directoryCount) ||
       (directoryCount > 0 && !read32(d, optional + directories, &exportRva)))) {
    *error = "truncated optional header";
    return false;
  }
  if (exportRva != 0) {
    size_t exports;
    uint32_t nameCount, namesRva;
    size_t names;
    if (!fileOffset(d, sections, sectionCount, exportRva, &exports) ||
        !read32(d, exports + 24, &nameCount) || !read32(d, exports + 32, &namesRva) ||
        nameCount > MAX_EXPORT_NAMES ||
        (nameCount > 0 && !fileOffset(d, sections, sectionCount, namesRva, &names))) {
      *error = "export directory outside the file";
      return false;
    }
    for (uint32_t i = 0; i < nameCount; ++i) {
      uint32_t nameRva;
      size_t at;
      if (!read32(d, names + 4 * static_cast<size_t>(i), &nameRva) ||
          !fileOffset(d, sections, sectionCount, nameRva, &at)) {
        *error = "export name outside the file";
        return false;
      }
      std::string name;
      while (at < d.size() && d[at] != '\0' && name.size() < MAX_EXPORT_NAME) name += d[at++];
      if (at >= d.size() || d[at] != '\0') {
        *error = "export name not terminated";
        return false;
      }
      facts.exportNames.push_back(name);
    }
  }
  *out = facts;
  return true;
}

std::string peMachineName(uint16_t machine) {
  if (machine == PE_MACHINE_I386) return "i386";
  if (machine == PE_MACHINE_AMD64) return "x86-64";
  char buf[32];
  snprintf(buf, sizeof buf, "machine 0x%x", machine);
  return buf;
}

// How a browser family decides whether a registered plug-in handles a MIME type and can be
// loaded: the rules, apart from the registry and the files they are applied to. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/pe_image.h"

// Whether `list`, MIME types separated by '|' as in a version resource's MIMEType, holds
// `type` (ASCII letters compared without case).
bool typeListHas(const std::string& list, const std::string& type);

// The FileExtents entry that goes with `type`: entries of both lists pair up by position.
// Empty when the type is not listed or has no entry.
std::string extensionsForType(const std::string& mimeTypes, const std::string& fileExtents,
                              const std::string& type);

// What is known about one file a browser family found, as that family reads it.
struct CandidateFacts {
  bool hasPath = false;      // the key has a Path value (or the file came from a folder)
  bool pathRegSz = true;     // ... stored as REG_SZ
  std::string nameSkip;      // why its file name is passed over (folder scans); empty: taken
  bool fileFound = false;    // Path names an existing file
  bool readable = true;      // the file could be read
  bool isImage = false;      // ... and is a PE image; `image` holds its facts
  std::string imageError;
  PeImageFacts image;
  bool keyListsType = false;      // MimeTypes\<type> exists under the key (no browser reads it)
  bool versionBlockFound = false; // the StringFileInfo block the family reads exists
  bool hasMimeType = false;       // the block has a MIMEType string
  std::string mimeTypes;          // ... its text
  bool hasProductName = false, hasFileDescription = false;
};

// Why a browser of the family, itself built for `ownMachine`, passes over the candidate for
// `type`; empty when it would load it. Checked in this order: path, name, file, bitness,
// version strings, type, entry points.
std::string skipReason(const CandidateFacts& facts, const BrowserFamilyRules& rules,
                       uint16_t ownMachine, const std::string& type);

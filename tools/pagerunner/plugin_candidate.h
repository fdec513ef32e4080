// How a browser family decides whether a registered plug-in handles a MIME type and can be
// loaded: the rules, apart from the registry and the files they are applied to. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagerunner/pe_image.h"

enum class BrowserFamily {
  Gecko,     // Firefox 3.6 on, the UXP browsers, Chromium: NP_Initialize and NP_Shutdown only
  Netscape,  // Netscape and early Gecko: NP_PluginInit or NP_Initialize, and so on
};

// "gecko" or "netscape".
bool parseBrowserFamily(const std::string& text, BrowserFamily* out);
const char* browserFamilyName(BrowserFamily family);

// One entry point as a family looks it up: the export names it accepts, in the order it
// tries them (`second` null: no alternative).
struct EntryPointLookup {
  const char* first;
  const char* second;
};
const int ENTRY_POINT_COUNT = 3;  // NP_GetEntryPoints, initialize, shutdown
const EntryPointLookup* entryPointLookups(BrowserFamily family);

// "NP_Initialize" or "NP_PluginInit or NP_Initialize".
std::string lookupText(const EntryPointLookup& lookup);

// Whether `list`, MIME types separated by '|' as in a version resource's MIMEType, holds
// `type` (ASCII letters compared without case).
bool typeListHas(const std::string& list, const std::string& type);

// The FileExtents entry that goes with `type`: entries of both lists pair up by position.
// Empty when the type is not listed or has no entry.
std::string extensionsForType(const std::string& mimeTypes, const std::string& fileExtents,
                              const std::string& type);

// What is known about one registered plug-in.
struct CandidateFacts {
  bool hasPath = false;      // the key has a Path value
  bool fileFound = false;    // Path names an existing file
  bool readable = true;      // the file could be read
  bool isImage = false;      // ... and is a PE image; `image` holds its facts
  std::string imageError;
  PeImageFacts image;
  bool keyListsType = false;       // MimeTypes\<type> exists under the key
  bool resourceListsType = false;  // the version resource's MIMEType lists the type
};

// Why a browser of `family`, itself built for `ownMachine`, passes over the candidate for
// `type`; empty when it would load it. Checked in this order: path, file, bitness, type,
// entry points.
std::string skipReason(const CandidateFacts& facts, BrowserFamily family, uint16_t ownMachine,
                       const std::string& type);

// The page as local files: where an embed's src leads (the browser's part of resolving a
// relative URL against the page, reduced to what a local page needs), and the objects a
// browser finds in the page, in its frames, or in a link file opened as the page.
#pragma once

#include <string>
#include <vector>

#include "tools/pagerunner/html_embeds.h"

// Resolves `src` against the page at `pagePath` (a Windows path, '\' or '/'). A relative
// reference is taken from the page's folder; "file:" URLs and absolute paths ("C:\x",
// "\x", "/x") are used as they are. Percent escapes are decoded; the query and fragment
// are dropped; '/' becomes '\'. Returns false, with `path` untouched, for a src that
// names no local file: empty, another URL scheme (http:, kvla:, ...), or "//host/...".
bool localFileForSrc(const std::string& pagePath, const std::string& src, std::string* path);

// The file: URL of a Windows path, as a browser reports it in NPStream::url.
std::string fileUrlForPath(const std::string& path);

// Reads the whole file at `path` into `data`; false when it cannot be read or holds more than
// `limit` bytes.
bool readFile(const std::string& path, std::vector<char>* data, size_t limit);

// One object of the page or of a frame in it, as found.
struct FoundObject {
  KvlaObject object;
  std::string pagePath;   // the page or frame it is in, where its link file is looked up
  bool fullPage = false;  // the page is a link file, shown whole (NP_FULL)
};

// The objects of the page at `pagePath`, appended to `found`: the page's own, then those of its
// frames, each frame's own before those of its frames (three deep, and none once there are
// 1000), a frame's hidden when the frame is. A link file (*.kvl) opened as the page is the
// browser's page of one <embed> of the type, the whole window large, whose stream is that
// file. `notes` gets a line to report for the page and for each frame. False when the page
// cannot be read.
bool findPageObjects(const std::string& pagePath, std::vector<FoundObject>* found,
                     std::vector<std::string>* notes);

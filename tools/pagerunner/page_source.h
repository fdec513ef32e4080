// Where an embed's src leads when the page is a local file: the browser's part of
// resolving a relative URL against the page, reduced to what a local page needs.
#pragma once

#include <string>
#include <vector>

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

#include "tools/pagerunner/page_source.h"

#include <cstdio>

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isSlash(char c) { return c == '/' || c == '\\'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of a URL scheme ("http" of "http:..."), 0 when `s` starts with none.
size_t schemeLength(const std::string& s) {
  if (s.empty() || !isAlpha(s[0])) return 0;
  size_t i = 1;
  while (i < s.size() && (isAlpha(s[i]) || (s[i] >= '0' && s[i] <= '9') || s[i] == '+' ||
                          s[i] == '-' || s[i] == '.'))
    ++i;
  return i < s.size() && s[i] == ':' ? i : 0;
}

const int MAX_FRAME_DEPTH = 3;  // frames in frames in frames
const size_t MAX_PAGE_OBJECTS = 1000;
const size_t MAX_PAGE_BYTES = 64u << 20;

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool startsWithDrive(const std::string& s) {
  return s.size() >= 2 && isAlpha(s[0]) && s[1] == ':' && (s.size() == 2 || isSlash(s[2]));
}

std::string percentDecoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace

bool localFileForSrc(const std::string& pagePath, const std::string& src, std::string* path) {
  size_t b = 0, e = src.size();
  while (b < e && isSpace(src[b])) ++b;
  while (e > b && isSpace(src[e - 1])) --e;
  std::string ref = src.substr(b, e - b);
  ref = ref.substr(0, ref.find_first_of("?#"));

  bool absolute = false;
  size_t scheme = schemeLength(ref);
  if (scheme == 4 && lowerAscii(ref.substr(0, 4)) == "file") {
    ref = ref.substr(5);
    // file:///C:/x and file:/C:/x name C:/x; file://host/x names a share we do not reach.
    if (ref.compare(0, 3, "///") == 0) ref = ref.substr(3);
    else if (ref.compare(0, 2, "//") == 0) return false;
    else if (!ref.empty() && ref[0] == '/' && startsWithDrive(ref.substr(1))) ref = ref.substr(1);
    absolute = true;
  } else if (scheme > 1) {
    return false;  // a one-letter "scheme" is a drive letter
  } else if (ref.size() >= 2 && isSlash(ref[0]) && isSlash(ref[1])) {
    return false;  // //host/...: another machine
  }
  ref = percentDecoded(ref);
  if (ref.empty()) return false;
  absolute = absolute || startsWithDrive(ref) || isSlash(ref[0]);

  std::string result;
  if (!absolute) {
    size_t slash = pagePath.find_last_of("\\/");
    if (slash != std::string::npos) result = pagePath.substr(0, slash + 1);
  }
  result += ref;
  for (char& c : result)
    if (c == '/') c = '\\';
  *path = result;
  return true;
}

std::string fileUrlForPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = startsWithDrive(path) ? "file:///" : "file://";
  for (char c : path) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') {
      url.push_back('/');
    } else if (u <= 0x20 || u >= 0x7F || c == '%' || c == '#' || c == '?') {
      url.push_back('%');
      url.push_back(kHex[u >> 4]);
      url.push_back(kHex[u & 15]);
    } else {
      url.push_back(c);
    }
  }
  return url;
}

bool readFile(const std::string& path, std::vector<char>* data, size_t limit) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  data->clear();
  char buf[65536];
  size_t n;
  bool ok = true;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
    if (data->size() + n > limit) {
      ok = false;
      break;
    }
    data->insert(data->end(), buf, buf + n);
  }
  if (ferror(f)) ok = false;
  fclose(f);
  return ok;
}

namespace {

// The objects of the frames of a page read as `html`, after it, each frame's own before those
// of its frames. A frame's objects are hidden when the frame is.
void addFrameObjects(const std::string& pagePath, const std::string& html, int depth,
                     std::vector<FoundObject>* found, std::vector<std::string>* notes) {
  if (depth >= MAX_FRAME_DEPTH) return;
  for (const HtmlFrame& frame : findFrames(html)) {
    std::string path;
    std::vector<char> text;
    if (frame.src.empty() || !localFileForSrc(pagePath, frame.src, &path)) continue;
    if (!readFile(path, &text, MAX_PAGE_BYTES)) {
      notes->push_back("frame " + path + " cannot be read: shown empty");
      continue;
    }
    std::string frameHtml(text.begin(), text.end());
    std::vector<KvlaObject> objects = findKvlaObjects(frameHtml);
    notes->push_back("frame " + path + ": " + std::to_string(objects.size()) +
                     " application/x-kvla object(s)");
    for (KvlaObject& o : objects) {
      if (found->size() >= MAX_PAGE_OBJECTS) return;
      o.hidden = o.hidden || frame.hidden;
      found->push_back({std::move(o), path, false});
    }
    addFrameObjects(path, frameHtml, depth + 1, found, notes);
  }
}

// A link file opened as the page itself: the browser's page of one <embed> of the type, the
// whole window large, whose stream is that file.
FoundObject fullPageObject(const std::string& pagePath) {
  FoundObject o;
  o.object.element.name = "embed";
  o.object.element.attributes = {{"name", "plugin"},
                                 {"width", "100%"},
                                 {"height", "100%"},
                                 {"src", fileUrlForPath(pagePath)},
                                 {"type", KVLA_MIME_TYPE}};
  o.pagePath = pagePath;
  o.fullPage = true;
  return o;
}

bool isLinkFilePath(const std::string& path) {
  return path.size() >= 4 && lowerAscii(path.substr(path.size() - 4)) == ".kvl";
}

}  // namespace

bool findPageObjects(const std::string& pagePath, std::vector<FoundObject>* found,
                     std::vector<std::string>* notes) {
  std::vector<char> page;
  if (!readFile(pagePath, &page, MAX_PAGE_BYTES)) return false;
  if (isLinkFilePath(pagePath)) {
    found->push_back(fullPageObject(pagePath));
    notes->push_back("page " + pagePath + ": a link file, shown whole by the module");
    return true;
  }
  std::string html(page.begin(), page.end());
  std::vector<KvlaObject> objects = findKvlaObjects(html);
  notes->push_back("page " + pagePath + ": " + std::to_string(objects.size()) +
                   " application/x-kvla object(s)");
  for (KvlaObject& o : objects) found->push_back({std::move(o), pagePath, false});
  addFrameObjects(pagePath, html, 0, found, notes);
  return true;
}

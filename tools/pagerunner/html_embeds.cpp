#include "tools/pagerunner/html_embeds.h"

#include <cstdint>
#include <cstring>
#include <utility>

const char* const KVLA_MIME_TYPE = "application/x-kvla";

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool endsWithNoCase(const std::string& a, const char* suffix) {
  size_t n = std::strlen(suffix);
  return a.size() >= n && equalsNoCase(a.substr(a.size() - n), suffix);
}

// Whether `lit` (lower case) stands at h[pos...], letters compared without case.
bool matchesAt(const std::string& h, size_t pos, const char* lit) {
  size_t n = std::strlen(lit);
  if (pos > h.size() || h.size() - pos < n) return false;
  for (size_t k = 0; k < n; ++k)
    if (lower(h[pos + k]) != lit[k]) return false;
  return true;
}

// Browsers replace NUL characters in attribute names and values with U+FFFD.
std::string withoutNul(const std::string& s) {
  if (s.find('\0') == std::string::npos) return s;
  std::string out;
  for (char c : s) {
    if (c == '\0') out += "\xEF\xBF\xBD";
    else out.push_back(c);
  }
  return out;
}

std::string trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isSpace(s[b])) ++b;
  while (e > b && isSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

void appendUtf8(std::string* out, uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the numeric reference at text[i] == '&', text[i+1] == '#'. Returns the index
// after it, or i when no digit follows (the text then stays as written).
size_t decodeNumeric(const std::string& text, size_t i, std::string* out) {
  size_t j = i + 2;
  int base = 10;
  if (j < text.size() && (text[j] == 'x' || text[j] == 'X')) {
    base = 16;
    ++j;
  }
  uint32_t cp = 0;
  bool any = false;
  for (; j < text.size(); ++j) {
    int d = base == 16 ? hexDigit(text[j]) : (text[j] >= '0' && text[j] <= '9' ? text[j] - '0' : -1);
    if (d < 0) break;
    any = true;
    // Saturate: anything past the last code point is invalid anyway.
    cp = cp > 0x10FFFF ? cp : cp * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
  }
  if (!any) return i;
  if (j < text.size() && text[j] == ';') ++j;  // browsers accept a missing ';' here
  appendUtf8(out, cp);
  return j;
}

struct NamedReference {
  const char* name;  // with its ';'
  uint32_t codePoint;
};
const NamedReference kNamed[] = {{"amp;", '&'},  {"lt;", '<'},    {"gt;", '>'},
                                 {"quot;", '"'}, {"apos;", '\''}, {"nbsp;", 0xA0}};

// The elements whose content is text, not markup, up to their end tag.
const char* const kRawTextElements[] = {"script", "style", "textarea", "title",
                                        "xmp",    "iframe", "noembed", "noframes"};

bool isRawText(const std::string& name) {
  for (const char* r : kRawTextElements)
    if (name == r) return true;
  return false;
}

class Tokenizer {
 public:
  Tokenizer(const std::string& html, bool withEndTags)
      : h_(html), n_(html.size()), withEndTags_(withEndTags) {}

  std::vector<HtmlStartTag> run() {
    std::vector<HtmlStartTag> tags;
    while (i_ < n_) {
      size_t lt = h_.find('<', i_);
      if (lt == std::string::npos) break;
      i_ = lt + 1;
      if (i_ >= n_) break;
      char c = h_[i_];
      if (c == '!') {
        if (h_.compare(i_, 3, "!--") == 0) {
          i_ += 3;
          skipComment();
        } else {
          skipPast('>');
        }
      } else if (c == '?') {
        skipPast('>');
      } else if (c == '/') {
        ++i_;
        if (i_ < n_ && isAlpha(h_[i_])) {
          HtmlStartTag endTag;  // end tags may carry attributes; they are read and dropped
          readName(&endTag.name);
          if (!readAttributes(&endTag)) break;
          if (withEndTags_) {
            endTag.name = "/" + endTag.name;
            endTag.attributes.clear();
            tags.push_back(std::move(endTag));
          }
        } else if (i_ < n_ && h_[i_] == '>') {
          ++i_;
        } else {
          skipPast('>');
        }
      } else if (isAlpha(c)) {
        HtmlStartTag tag;
        readName(&tag.name);
        if (!readAttributes(&tag)) break;  // cut off by the end of the text
        if (tag.name == "plaintext") i_ = n_;
        else if (isRawText(tag.name)) skipRawText(tag.name);
        tags.push_back(std::move(tag));
      }
      // Anything else after '<' is text.
    }
    return tags;
  }

 private:
  void skipPast(char c) {
    size_t p = h_.find(c, i_);
    i_ = p == std::string::npos ? n_ : p + 1;
  }

  // After "<!--": "<!-->" and "<!--->" are complete comments; otherwise up to "-->" or
  // "--!>"; an unclosed comment runs to the end.
  void skipComment() {
    if (i_ < n_ && h_[i_] == '>') {
      ++i_;
      return;
    }
    if (h_.compare(i_, 2, "->") == 0) {
      i_ += 2;
      return;
    }
    size_t a = h_.find("-->", i_);
    size_t b = h_.find("--!>", i_);
    if (a == std::string::npos && b == std::string::npos) {
      i_ = n_;
    } else if (b == std::string::npos || (a != std::string::npos && a < b)) {
      i_ = a + 3;
    } else {
      i_ = b + 4;
    }
  }

  // Moves to the '<' of "</name" followed by white space, '/' or '>' (or the end).
  void skipRawText(const std::string& name) {
    for (size_t p = h_.find("</", i_); p != std::string::npos; p = h_.find("</", p + 2)) {
      size_t after = p + 2 + name.size();
      if (!matchesAt(h_, p + 2, name.c_str())) continue;
      if (after >= n_ || isSpace(h_[after]) || h_[after] == '/' || h_[after] == '>') {
        i_ = p;
        return;
      }
    }
    i_ = n_;
  }

  void readName(std::string* name) {
    while (i_ < n_ && !isSpace(h_[i_]) && h_[i_] != '/' && h_[i_] != '>')
      name->push_back(lower(h_[i_++]));
  }

  // Reads attributes up to and including the tag's '>'. False when the text ends first.
  bool readAttributes(HtmlStartTag* tag) {
    for (;;) {
      while (i_ < n_ && (isSpace(h_[i_]) || (h_[i_] == '/' && !(i_ + 1 < n_ && h_[i_ + 1] == '>'))))
        ++i_;
      if (i_ >= n_) return false;
      if (h_[i_] == '>') {
        ++i_;
        return true;
      }
      if (h_[i_] == '/') {  // "/>"
        tag->selfClosing = true;
        i_ += 2;
        return true;
      }
      size_t start = i_++;  // a leading '=' belongs to the name
      while (i_ < n_ && !isSpace(h_[i_]) && h_[i_] != '/' && h_[i_] != '>' && h_[i_] != '=') ++i_;
      HtmlAttribute attr;
      attr.name = withoutNul(h_.substr(start, i_ - start));
      size_t j = i_;
      while (j < n_ && isSpace(h_[j])) ++j;
      if (j < n_ && h_[j] == '=') {
        i_ = j + 1;
        while (i_ < n_ && isSpace(h_[i_])) ++i_;
        if (i_ >= n_) return false;
        char q = h_[i_];
        if (q == '"' || q == '\'') {
          size_t end = h_.find(q, i_ + 1);
          if (end == std::string::npos) return false;
          attr.value = withoutNul(decodeCharacterReferences(h_.substr(i_ + 1, end - i_ - 1)));
          i_ = end + 1;
        } else if (q != '>') {
          start = i_;
          while (i_ < n_ && !isSpace(h_[i_]) && h_[i_] != '>') ++i_;
          attr.value = withoutNul(decodeCharacterReferences(h_.substr(start, i_ - start)));
        }
      } else {
        i_ = j;
      }
      // Browsers keep the first of repeated attributes.
      if (!findAttribute(*tag, attr.name.c_str())) tag->attributes.push_back(std::move(attr));
    }
  }

  const std::string& h_;
  size_t n_;
  bool withEndTags_;  // end tags too, named "/name"
  size_t i_ = 0;
};

}  // namespace

std::string decodeCharacterReferences(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out.push_back(text[i++]);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '#') {
      size_t next = decodeNumeric(text, i, &out);
      if (next != i) {
        i = next;
        continue;
      }
    } else {
      bool found = false;
      for (const NamedReference& r : kNamed) {
        size_t len = std::strlen(r.name);
        if (text.compare(i + 1, len, r.name) == 0) {
          appendUtf8(&out, r.codePoint);
          i += 1 + len;
          found = true;
          break;
        }
      }
      if (found) continue;
    }
    out.push_back(text[i++]);
  }
  return out;
}

std::vector<HtmlStartTag> htmlStartTags(const std::string& html) { return Tokenizer(html, false).run(); }

const std::string* findAttribute(const HtmlStartTag& tag, const char* name) {
  for (const HtmlAttribute& a : tag.attributes)
    if (equalsNoCase(a.name, name)) return &a.value;
  return nullptr;
}

int pixelSizeAttribute(const HtmlStartTag& tag, const char* name, int fallback) {
  const std::string* v = findAttribute(tag, name);
  if (!v || v->empty() || v->size() > 4) return fallback;
  int n = 0;
  for (char c : *v) {
    if (c < '0' || c > '9') return fallback;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= 4000 ? n : fallback;
}

// Whether the element's type is ours, or the file its `fileAttribute` names is a .kvl.
static bool namesKvla(const HtmlStartTag& tag, const char* fileAttribute) {
  const std::string* type = findAttribute(tag, "type");
  if (type && equalsNoCase(trimmed(*type), KVLA_MIME_TYPE)) return true;
  const std::string* file = findAttribute(tag, fileAttribute);
  if (!file) return false;
  std::string path = trimmed(*file);
  path = path.substr(0, path.find_first_of("?#"));
  return endsWithNoCase(path, ".kvl");
}

bool isKvlaEmbed(const HtmlStartTag& tag) { return tag.name == "embed" && namesKvla(tag, "src"); }

std::vector<HtmlStartTag> findKvlaEmbeds(const std::string& html) {
  std::vector<HtmlStartTag> embeds;
  for (HtmlStartTag& tag : htmlStartTags(html))
    if (isKvlaEmbed(tag)) embeds.push_back(std::move(tag));
  return embeds;
}

bool isKvlaObjectElement(const HtmlStartTag& tag) {
  return tag.name == "object" && namesKvla(tag, "data");
}

bool styleHidesElement(const std::string& style) {
  size_t at = 0;
  while (at <= style.size()) {
    size_t end = style.find(';', at);
    if (end == std::string::npos) end = style.size();
    std::string declaration = style.substr(at, end - at);
    size_t colon = declaration.find(':');
    if (colon != std::string::npos && equalsNoCase(trimmed(declaration.substr(0, colon)), "display")) {
      std::string value = trimmed(declaration.substr(colon + 1));
      if (value.size() >= 4 && equalsNoCase(value.substr(0, 4), "none") &&
          (value.size() == 4 || isSpace(value[4]) || value[4] == '!'))
        return true;
    }
    at = end + 1;
  }
  return false;
}

namespace {

// The elements without an end tag.
const char* const kVoidElements[] = {"area", "base", "br",    "col",   "embed", "hr",    "img",
                                     "input", "link", "meta", "param", "source", "track", "wbr"};

// Which open elements hide their content, as the tags go by.
class HiddenTracker {
 public:
  // Whether `tag` is hidden; an end tag closes up to the nearest open element of its name.
  bool see(const HtmlStartTag& tag) {
    if (!tag.name.empty() && tag.name[0] == '/') {
      for (size_t i = open_.size(); i-- > 0;) {
        if (open_[i].first == tag.name.substr(1)) {
          open_.resize(i);
          break;
        }
      }
      return false;
    }
    const std::string* style = findAttribute(tag, "style");
    bool hidden = (!open_.empty() && open_.back().second) || (style && styleHidesElement(*style)) ||
                  findAttribute(tag, "hidden") != nullptr;
    bool isVoid = false;
    for (const char* v : kVoidElements) isVoid = isVoid || tag.name == v;
    if (!isVoid && open_.size() < 4096) open_.push_back({tag.name, hidden});
    return hidden;
  }

 private:
  std::vector<std::pair<std::string, bool>> open_;  // name, hidden
};

}  // namespace

std::vector<HtmlFrame> findFrames(const std::string& html) {
  std::vector<HtmlFrame> frames;
  HiddenTracker tracker;
  for (HtmlStartTag& tag : Tokenizer(html, true).run()) {
    bool hidden = tracker.see(tag);
    if (tag.name != "iframe") continue;
    const std::string* src = findAttribute(tag, "src");
    frames.push_back({src ? trimmed(*src) : std::string(), hidden});
  }
  return frames;
}

std::vector<KvlaObject> findKvlaObjects(const std::string& html) {
  std::vector<KvlaObject> objects;
  int objectDepth = 0;  // <object> elements open, counted from our outermost one
  HiddenTracker tracker;
  for (HtmlStartTag& tag : Tokenizer(html, true).run()) {
    bool hidden = tracker.see(tag);
    if (objectDepth > 0) {
      if (tag.name == "object") ++objectDepth;
      else if (tag.name == "/object") --objectDepth;
      else if (tag.name == "param" && objectDepth == 1) {
        const std::string* name = findAttribute(tag, "name");
        const std::string* value = findAttribute(tag, "value");
        if (name && !name->empty())
          objects.back().params.push_back({*name, value ? *value : std::string()});
      }
      continue;
    }
    if (isKvlaEmbed(tag) || isKvlaObjectElement(tag)) {
      if (tag.name == "object") objectDepth = 1;  // "/>" does not close it
      KvlaObject o;
      o.element = std::move(tag);
      o.hidden = hidden;
      objects.push_back(std::move(o));
    }
  }
  return objects;
}

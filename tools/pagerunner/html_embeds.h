// Finding the plug-in objects of a web page: a small HTML tokenizer that reads start tags
// and their attributes the way browsers do, and the test that picks our embeds out.
// Pure: no Windows, no files; the page text comes in as bytes.
#pragma once

#include <string>
#include <vector>

struct HtmlAttribute {
  std::string name;   // as written in the page (letter case kept)
  std::string value;  // character references decoded; empty for an attribute without value
};

struct HtmlStartTag {
  std::string name;  // lower case
  std::vector<HtmlAttribute> attributes;  // document order; a repeated name keeps the first
  bool selfClosing = false;               // written as <name ... />
};

// Every start tag of `html`, in document order. Comments, <!...> and <?...> declarations,
// end tags and the raw text of <script>, <style> and the other raw-text elements are
// skipped; a tag cut off by the end of the text is dropped, as browsers drop it. NUL
// characters in attribute names and values become U+FFFD, as in browsers.
// Never fails: malformed text yields whatever tags can be read from it.
std::vector<HtmlStartTag> htmlStartTags(const std::string& html);

// Decodes the character references in `text` (&amp; &lt; &gt; &quot; &apos; &nbsp;,
// &#NN; and &#xHH;) into UTF-8. Unknown or unterminated named references stay as written;
// numeric ones that name no valid character become U+FFFD.
std::string decodeCharacterReferences(const std::string& text);

// The value of the first attribute named `name` (ASCII letters compared without case),
// or null.
const std::string* findAttribute(const HtmlStartTag& tag, const char* name);

// A width or height attribute in pixels, when it is a plain number from 1 to 4000; else
// `fallback`.
int pixelSizeAttribute(const HtmlStartTag& tag, const char* name, int fallback);

// The MIME type that the module handles.
extern const char* const KVLA_MIME_TYPE;

// Whether `tag` is an <embed> for the module: its "type" is application/x-kvla, or its
// "src" names a .kvl file (both without regard to case; the query and fragment of the
// src are not part of its file name).
bool isKvlaEmbed(const HtmlStartTag& tag);

// The module's <embed> elements of `html`, in document order.
std::vector<HtmlStartTag> findKvlaEmbeds(const std::string& html);

// An <embed> or <object> for the module, with the <param> children of an <object> (name
// and value attributes, in document order; params without a name are left out).
struct KvlaObject {
  HtmlStartTag element;
  std::vector<HtmlAttribute> params;
  bool hidden = false;  // under display:none: the element's or an open ancestor's (see below)
};

// Whether `tag` is an <object> for the module: its "type" is application/x-kvla, or its
// "data" names a .kvl file.
bool isKvlaObjectElement(const HtmlStartTag& tag);

// The module's <embed> and <object> elements of `html`, in document order. Elements inside
// an <object> of the module are its fallback content, which a browser does not show:
// they are left out. An element is hidden when it or an element still open around it has
// display:none in its style attribute or a hidden attribute (style sheets are not read).
std::vector<KvlaObject> findKvlaObjects(const std::string& html);

// The page's <iframe> elements: the src of each (empty when it has none), and whether it
// is hidden as above.
struct HtmlFrame {
  std::string src;
  bool hidden = false;
};
std::vector<HtmlFrame> findFrames(const std::string& html);

// Whether a style attribute's declarations set display to none.
bool styleHidesElement(const std::string& style);

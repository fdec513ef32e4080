#include "link/embed_attributes.h"

#include <cstring>

#include "text/ascii_text.h"
#include "url/link_url.h"
#include "text/utf8_text.h"

namespace {

enum AttributeAction {
  ATTR_STREAM,
  ATTR_NAME,
  ATTR_SERVER,
  ATTR_PORT,
  ATTR_SELECTION,
  ATTR_TAG,
  ATTR_FIRST_LETTER_FLAG,  // sets `flag` when the value's first letter is one of `letters`
  ATTR_FUNCTION,
};

struct AttributeRule {
  const char* name;
  AttributeAction action;
  const char* letters;
  uint32_t flag;
};

const AttributeRule attributeRules[] = {
    {"Stream", ATTR_STREAM, nullptr, 0},
    {"Name", ATTR_NAME, nullptr, 0},
    {"Server", ATTR_SERVER, nullptr, 0},
    {"Port", ATTR_PORT, nullptr, 0},
    {"Selection", ATTR_SELECTION, nullptr, 0},
    {"Tag", ATTR_TAG, nullptr, 0},
    {"Instance", ATTR_TAG, nullptr, 0},
    {"Audio", ATTR_FIRST_LETTER_FLAG, "FN", LF_NO_AUDIO},
    {"Video", ATTR_FIRST_LETTER_FLAG, "FN", LF_NO_VIDEO},
    {"FullScreen", ATTR_FIRST_LETTER_FLAG, "Y", LF_FULL_SCREEN},
    {"PlayNow", ATTR_FIRST_LETTER_FLAG, "YT", LF_PLAY_NOW},
    {"AutoStart", ATTR_FIRST_LETTER_FLAG, "YT", LF_PLAY_NOW},
    {"Live", ATTR_FIRST_LETTER_FLAG, "Y", LF_LIVE},
    {"ShowControl", ATTR_FIRST_LETTER_FLAG, "FN", LF_NO_CONTROL},
    {"Function", ATTR_FUNCTION, nullptr, 0},
};

struct FunctionControl {
  const char* value;
  uint32_t flag;
};

const FunctionControl functionControls[] = {
    {"Play", LF_CTL_PLAY},     {"Stop", LF_CTL_STOP},     {"PlayStop", LF_CTL_PLAYSTOP},
    {"Slider", LF_CTL_SLIDER}, {"Viewer", LF_CTL_VIEWER}, {"Volume", LF_CTL_VOLUME},
};

const char LIVE_PATH[] = "__LIVE__";

// An empty value has no first letter and matches nothing.
bool firstLetterIsOneOf(const char* value, const char* letters) {
  char first = asciiUpper(value[0]);
  return first != '\0' && std::strchr(letters, first) != nullptr;
}

// Host, port and path are taken into locals first and committed only when all of them fit,
// so a rejected URL changes nothing.
void applyStream(LinkRecord& link, const char* url, int32_t& linkSpecified) {
  char host[sizeof link.server];
  if (hostFromUrl(host, url) != LINKURL_OK) return;
  uint16_t port = 0;
  if (portFromUrl(&port, url) != LINKURL_OK) port = LINK_DEFAULT_PORT;
  char path[sizeof link.streamName];
  if (pathFromUrl(path, url) != LINKURL_OK) return;

  std::memcpy(link.server, host, std::strlen(host) + 1);
  link.port = port;
  if (equalsIgnoringCase(path, LIVE_PATH)) {
    link.streamName[0] = '\0';
    link.flags |= LF_LIVE;
  } else {
    int32_t selection = decimalValue(path);
    link.selection = selection;
    if (selection != 0) {
      link.streamName[0] = '\0';
    } else {
      std::memcpy(link.streamName, path, std::strlen(path) + 1);
    }
  }
  linkSpecified = 1;
}

void applyFunction(LinkRecord& link, const char* value, int32_t& linkSpecified) {
  link.flags |= LF_EMBED_CONTROL;
  linkSpecified = 1;
  for (const FunctionControl& control : functionControls) {
    if (equalsIgnoringCase(value, control.value)) link.flags |= control.flag;
  }
}

void applyRule(LinkRecord& link, const AttributeRule& rule, const char* value,
               int32_t& linkSpecified) {
  switch (rule.action) {
    case ATTR_STREAM:
      applyStream(link, value, linkSpecified);
      break;
    case ATTR_NAME:
      copyTextIfFits(link.streamName, value);
      break;
    case ATTR_SERVER:
      // A rejected (overlong) server names no link.
      if (copyTextIfFits(link.server, value)) linkSpecified = 1;
      break;
    case ATTR_PORT: {
      // A port outside 0 to 65535 is rejected, as an overlong text is: cut to 16 bits it
      // would name another port.
      int32_t port = 0;
      if (decimalValueWithin(value, 0, 0xFFFF, &port)) link.port = static_cast<uint16_t>(port);
      break;
    }
    case ATTR_SELECTION:
      link.selection = decimalValue(value);
      break;
    case ATTR_TAG:
      link.tag = decimalValue(value);
      break;
    case ATTR_FIRST_LETTER_FLAG:
      if (firstLetterIsOneOf(value, rule.letters)) link.flags |= rule.flag;
      break;
    case ATTR_FUNCTION:
      applyFunction(link, value, linkSpecified);
      break;
  }
}

// Zero throughout, apart from the defaults: a slot's record is reused, and no byte of an
// earlier instance (another page's names behind a NUL) may reach the client application.
void resetLinkRecord(LinkRecord& link) {
  std::memset(&link, 0, sizeof link);
  link.port = LINK_DEFAULT_PORT;
  link.tag = -1;
}

}  // namespace

int32_t buildLinkRecord(LinkRecord& link, int16_t argc, const char* const* argn,
                        const char* const* argv, uint32_t threadHandle, AnsiConverter toAnsi) {
  resetLinkRecord(link);
  int32_t linkSpecified = 0;
  if (argn != nullptr && argv != nullptr) {
    for (int16_t i = 0; i < argc; ++i) {
      const char* name = argn[i];
      const char* value = argv[i];
      // A null value also marks where Gecko and Opera start the <param> entries ("PARAM").
      if (name == nullptr || value == nullptr) continue;
      // Browsers pass UTF-8; the client application reads its own 8-bit code page. A value
      // that code page cannot hold exactly is rejected, never replaced by a different text.
      char converted[CONVERTED_VALUE_CAPACITY];
      if (toAnsi != nullptr && isUtf8BeyondAscii(value)) {
        if (!toAnsi(converted, sizeof converted, value)) continue;
        value = converted;
      }
      // Every rule is tried: no first-match rule.
      for (const AttributeRule& rule : attributeRules) {
        if (equalsIgnoringCase(name, rule.name)) applyRule(link, rule, value, linkSpecified);
      }
    }
  }
  link.threadHandle = threadHandle;
  if (linkSpecified == 0) link.flags |= LF_DEFAULT_CONTROLS;
  return linkSpecified;
}

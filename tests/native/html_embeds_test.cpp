// pagerunner's pure parts: the HTML tokenizer and embed finder, src resolution, options,
// the module file reader and the browsers' rules for picking a plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/pagerunner/call_log.h"
#include "tools/pagerunner/html_embeds.h"
#include "tools/pagerunner/page_source.h"
#include "tools/pagerunner/pagerunner_options.h"
#include "tools/pagerunner/pe_image.h"
#include "tools/pagerunner/plugin_candidate.h"
#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/browser_gecko.h"
#include "tools/pagerunner/browser_habits.h"

namespace {

// "name=value|name=value" of a tag, for compact expectations.
std::string flat(const HtmlStartTag& tag) {
  std::string out;
  for (const HtmlAttribute& a : tag.attributes) {
    if (!out.empty()) out += "|";
    out += a.name + "=" + a.value;
  }
  return out;
}

void put32(std::vector<char>* d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*d)[at + i] = static_cast<char>(v >> (8 * i));
}

// A PE32+ file of 0x400 bytes: one section (RVA 0x1000, file offset 0x200) holding an export
// directory with the names "NP_GetEntryPoints" and "NP_Initialize".
std::vector<char> smallImage() {
  std::vector<char> d(0x400, '\0');
  d[0] = 'M';
  d[1] = 'Z';
  put32(&d, 0x3c, 0x80);
  put32(&d, 0x80, 0x00004550);
  put32(&d, 0x84, PE_MACHINE_AMD64 | 1u << 16);  // machine, one section
  put32(&d, 0x94, 0xf0 | 0x2022u << 16);         // optional header size, DLL
  put32(&d, 0x98, 0x20b);                        // PE32+
  put32(&d, 0x98 + 108, 16);                     // data directories
  put32(&d, 0x98 + 112, 0x1000);                 // export directory RVA
  size_t section = 0x98 + 0xf0;
  put32(&d, section + 12, 0x1000);  // RVA
  put32(&d, section + 16, 0x200);   // raw size
  put32(&d, section + 20, 0x200);   // raw offset
  put32(&d, 0x200 + 24, 2);         // number of names
  put32(&d, 0x200 + 32, 0x1040);    // name pointers
  put32(&d, 0x240, 0x1080);
  put32(&d, 0x244, 0x10a0);
  memcpy(&d[0x280], "NP_GetEntryPoints", 18);
  memcpy(&d[0x2a0], "NP_Initialize", 14);
  return d;
}

}  // namespace

TEST(HtmlTokenizer, ReadsAttributesInEveryQuotingStyle) {
  struct Row {
    const char* html;
    const char* tagName;
    const char* attributes;
    bool selfClosing;
  };
  const Row rows[] = {
      {"<EMBED Src=\"a.kvl\" TYPE='application/x-kvla' width=320>", "embed",
       "Src=a.kvl|TYPE=application/x-kvla|width=320", false},
      {"<embed hidden PlayNow = yes autostart>", "embed", "hidden=|PlayNow=yes|autostart=", false},
      {"<embed a=\"x y\" b='it\"s' c=un\"quoted'>", "embed", "a=x y|b=it\"s|c=un\"quoted'", false},
      {"<embed a=1/>", "embed", "a=1/", false},  // '/' belongs to an unquoted value
      {"<embed a=\"1\"/>", "embed", "a=1", true},
      {"<embed a=\"1\" / b=2>", "embed", "a=1|b=2", false},
      {"<embed/a=1>", "embed", "a=1", false},
      {"<embed a=>", "embed", "a=", false},
      {"<embed a=\"\"b=2>", "embed", "a=|b=2", false},
      {"<embed =x>", "embed", "=x=", false},
      {"<embed name=a NAME=b Name=c>", "embed", "name=a", false},  // first of repeats wins
      {"<embed\tsrc\n=\r\"x\"\f>", "embed", "src=x", false},
  };
  for (const Row& r : rows) {
    std::vector<HtmlStartTag> tags = htmlStartTags(r.html);
    ASSERT_EQ(1u, tags.size()) << r.html;
    EXPECT_EQ(r.tagName, tags[0].name) << r.html;
    EXPECT_EQ(r.attributes, flat(tags[0])) << r.html;
    EXPECT_EQ(r.selfClosing, tags[0].selfClosing) << r.html;
  }
}

TEST(HtmlTokenizer, SkipsCommentsDeclarationsEndTagsAndRawText) {
  const std::string html =
      "<!DOCTYPE html><?xml x?><html><!-- <embed a=1> -->"
      "<!--> <p id=1> <!---> <p id=2> <!-- x --!> <p id=3>"
      "<script type=x>var s = '<embed a=2>'; if (a</b) {}</script ><p id=4>"
      "<STYLE>p { content: '<embed a=3>' }</style><p id=5>"
      "<title><embed a=4></title><textarea><embed a=5></TEXTAREA><p id=6>"
      "</p class='>'><p id=7> a < b <3 </ x> <p id=8></>";
  std::vector<std::string> ids;
  for (const HtmlStartTag& t : htmlStartTags(html)) {
    EXPECT_NE("embed", t.name);
    if (t.name == "p") ids.push_back(*findAttribute(t, "id"));
  }
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}), ids);
}

TEST(HtmlTokenizer, DecodesCharacterReferences) {
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"a&amp;b&lt;&gt;&quot;&apos;", "a&b<>\"'"},
      {"&nbsp;", "\xC2\xA0"},
      {"&#65;&#x42;&#X43;&#0068", "ABCD"},
      {"&#xE9;&#8364;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"&#0;&#xD800;&#x110000;&#99999999999999;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"&unknown; &amp &# &#x; & &AMP;", "&unknown; &amp &# &#x; & &AMP;"},
      {"kvla://h/a&amp;b", "kvla://h/a&b"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.out, decodeCharacterReferences(r.in)) << r.in;
  // Inside tags, in quoted and unquoted values alike.
  std::vector<HtmlStartTag> tags = htmlStartTags("<embed a=\"&lt;x&gt;\" b=&#49;&#50;>");
  ASSERT_EQ(1u, tags.size());
  EXPECT_EQ("a=<x>|b=12", flat(tags[0]));
}

TEST(HtmlTokenizer, SurvivesMalformedAndTruncatedInput) {
  // A tag cut off by the end of the text is dropped.
  EXPECT_TRUE(htmlStartTags("<embed a=\"1").empty());
  EXPECT_TRUE(htmlStartTags("<embed a=").empty());
  EXPECT_TRUE(htmlStartTags("<embed").empty());
  EXPECT_TRUE(htmlStartTags("<!-- <embed>").empty());
  ASSERT_EQ(1u, htmlStartTags("<script><embed>").size());  // the <script> alone
  EXPECT_TRUE(findKvlaEmbeds("<script><embed type=application/x-kvla>").empty());
  // NUL characters become U+FFFD and do not end the value.
  std::vector<HtmlStartTag> tags = htmlStartTags(std::string("<embed a=\"x\0y\">", 15));
  ASSERT_EQ(1u, tags.size());
  EXPECT_EQ("a=x\xEF\xBF\xBDy", flat(tags[0]));
  // Every prefix of a nasty document parses (ASan watches for overreads).
  const char text[] =
      "<!--x--!><embed a='1' b=\"&#x41\" c=&amp d/><script>'</scr'</script ><!x><?y>"
      "</ a><EmBeD src=n.KVL?x#y/><style></style ><embed =\"=\"\0\x80\xff>&#";
  const std::string nasty(text, sizeof text - 1);
  for (size_t n = 0; n <= nasty.size(); ++n) htmlStartTags(nasty.substr(0, n));
  EXPECT_EQ(4u, htmlStartTags(nasty).size());
}

TEST(KvlaEmbeds, AreFoundByTypeOrLinkFileSource) {
  const std::string html =
      "<embed type='application/x-kvla' Server=a>"
      "<embed type=' Application/X-KVLA ' Server=b>"
      "<embed src='news.KVL'>"
      "<embed src='news.kvl?x=1#f'>"
      "<embed type='video/other' src='x.kvl'>"
      "<embed type='video/other' src='x.avi'>"
      "<embed src='x.kvl.txt'>"
      "<object type='application/x-kvla'></object>"
      "<embedded type='application/x-kvla'>"
      "<script><embed type='application/x-kvla' Server=c></script>";
  std::vector<HtmlStartTag> embeds = findKvlaEmbeds(html);
  std::vector<std::string> found;
  for (const HtmlStartTag& e : embeds) found.push_back(flat(e));
  EXPECT_EQ((std::vector<std::string>{"type=application/x-kvla|Server=a",
                                      "type= Application/X-KVLA |Server=b", "src=news.KVL",
                                      "src=news.kvl?x=1#f", "type=video/other|src=x.kvl"}),
            found);
}

TEST(PageSource, ResolvesLocalFilesAgainstThePage) {
  struct Row {
    const char* src;
    const char* path;  // null: no local file
  };
  const Row rows[] = {
      {"news.kvl", "Z:\\site\\pages\\news.kvl"},
      {" sub/a%20b.kvl?x=1#top ", "Z:\\site\\pages\\sub\\a b.kvl"},
      {"../links/x.kvl", "Z:\\site\\pages\\..\\links\\x.kvl"},
      {"C:\\x\\y.kvl", "C:\\x\\y.kvl"},
      {"c:/x/y.kvl", "c:\\x\\y.kvl"},
      {"/abs/y.kvl", "\\abs\\y.kvl"},
      {"file:///D:/z/y.kvl", "D:\\z\\y.kvl"},
      {"FILE:/D:/z/y.kvl", "D:\\z\\y.kvl"},
      {"http://host/x.kvl", nullptr},
      {"kvla://host:1600/news", nullptr},
      {"//host/share/x.kvl", nullptr},
      {"file://host/x.kvl", nullptr},
      {"", nullptr},
      {"  ?q", nullptr},
  };
  for (const Row& r : rows) {
    std::string path = "untouched";
    bool local = localFileForSrc("Z:\\site\\pages/demo.html", r.src, &path);
    EXPECT_EQ(r.path != nullptr, local) << r.src;
    EXPECT_EQ(r.path ? r.path : "untouched", path) << r.src;
  }
  EXPECT_EQ("file:///Z:/a%20b/n%25.kvl", fileUrlForPath("Z:\\a b\\n%.kvl"));
}

TEST(PageRunnerOptions, ParsesFlagsValuesAndOperands) {
  PageRunnerOptions o;
  std::string error;
  ASSERT_TRUE(parsePageRunnerOptions({"--ansi-windows", "m.dll", "--keep-open", "250",
                                      "--destroy-after-failed-new", "--close-window=K", "p.html"},
                                     &o, &error));
  EXPECT_EQ("m.dll", o.modulePath);
  EXPECT_EQ("p.html", o.pagePath);
  EXPECT_TRUE(o.ansiWindows);
  EXPECT_TRUE(o.destroyAfterFailedNew);
  EXPECT_EQ(250u, o.keepOpenMs);
  EXPECT_EQ("K", o.closeWindowClass);

  ASSERT_TRUE(parsePageRunnerOptions({"m.dll", "p.html"}, &o, &error));
  EXPECT_FALSE(o.ansiWindows);
  EXPECT_FALSE(o.destroyAfterFailedNew);
  EXPECT_EQ(0u, o.keepOpenMs);
  ASSERT_TRUE(parsePageRunnerOptions({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
  ASSERT_TRUE(parsePageRunnerOptions({"--", "--odd.dll", "p.html"}, &o, &error));
  EXPECT_EQ("--odd.dll", o.modulePath);
  ASSERT_TRUE(parsePageRunnerOptions({"--chunk=8", "--network-error-after=0", "--in-process",
                                      "--stream-end=raised", "--hang-timeout=firefox", "m.dll", "p.html"},
                                     &o, &error)) << error;
  EXPECT_EQ(8u, o.chunkBytes);
  EXPECT_EQ(0u, o.networkErrorAfter);
  EXPECT_TRUE(o.inProcess && o.firefoxHangTimeout && o.streamEnd == StreamEndPlay::Raised);

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"m.dll"},
      {"m.dll", "p.html", "q.html"},
      {"--keep-open", "m.dll", "p.html"},
      {"m.dll", "p.html", "--keep-open"},
      {"--keep-open=-1", "m.dll", "p.html"},
      {"--keep-open=1e3", "m.dll", "p.html"},
      {"--keep-open=999999999", "m.dll", "p.html"},
      {"--ansi-windows=1", "m.dll", "p.html"},
      {"--close-window=", "m.dll", "p.html"},
      {"--unicode", "m.dll", "p.html"},
      {"--chunk=0", "m.dll", "p.html"},
      {"--network-error-after=2147483648", "m.dll", "p.html"},
      {"--stream-end=unknown", "m.dll", "p.html"},  // gecko in process only
      {"--in-process", "--browser=webkit", "m.dll", "p.html"},
      {"--in-process", "--browser=chromium", "--stream-end=raised", "m.dll", "p.html"},
      {"--hang-timeout=opera", "m.dll", "p.html"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(parsePageRunnerOptions(args, &o, &error)) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(error.empty());
  }
}

TEST(CallLog, QuotesTextAndNamesCodes) {
  EXPECT_EQ("\"a\\\"b\\\\c\\x0A\\xC3\\xA9\"", quotedText("a\"b\\c\n\xC3\xA9"));
  EXPECT_EQ("{Server=\"h\", hidden=\"\"}", attributeList({{"Server", "h"}, {"hidden", ""}}));
  EXPECT_EQ("5 (NPERR_OUT_OF_MEMORY_ERROR)", npErrorText(5));
  EXPECT_EQ("-1 (unknown)", npErrorText(-1));
  EXPECT_EQ("99 (unknown)", npErrorText(99));
}

TEST(PageRunnerOptions, DiscoverAndWhichTakeFewerOperands) {
  PageRunnerOptions o;
  std::string error;
  ASSERT_TRUE(parsePageRunnerOptions({"--discover", "p.html"}, &o, &error)) << error;
  EXPECT_TRUE(o.discover);
  EXPECT_EQ("", o.modulePath);
  EXPECT_EQ("p.html", o.pagePath);
  EXPECT_EQ(BrowserFamily::Gecko, o.browser);
  ASSERT_TRUE(parsePageRunnerOptions({"--browser=netscape", "--which", "a/b"}, &o, &error)) << error;
  EXPECT_EQ("a/b", o.whichType);
  EXPECT_EQ(BrowserFamily::Netscape, o.browser);
  const std::vector<std::vector<std::string>> bad = {
      {"--discover", "m.dll", "p.html"}, {"--discover"},        {"--which", "a/b", "p.html"},
      {"--which=", "x"},                 {"--browser=mosaic", "m.dll", "p.html"},
      {"--which", "a/b", "--discover", "p.html"}};
  for (const auto& args : bad)
    EXPECT_FALSE(parsePageRunnerOptions(args, &o, &error)) << args[0] << " " << args.back();
}

TEST(PeImage, ReadsMachineAndExportsAndRefusesEveryTruncation) {
  std::vector<char> image = smallImage();
  PeImageFacts facts;
  std::string error;
  ASSERT_TRUE(readPeImage(image, &facts, &error)) << error;
  EXPECT_EQ(PE_MACHINE_AMD64, facts.machine);
  EXPECT_EQ((std::vector<std::string>{"NP_GetEntryPoints", "NP_Initialize"}), facts.exportNames);
  // Cut anywhere before the last name's NUL, the file is refused, never read past its end.
  for (size_t size = 0; size < 0x2a0 + 14; ++size) {
    std::vector<char> cut(image.begin(), image.begin() + size);
    EXPECT_FALSE(readPeImage(cut, &facts, &error)) << size;
  }
  put32(&image, 0x244, 0x2000);  // a name outside every section
  EXPECT_FALSE(readPeImage(image, &facts, &error));
}

TEST(PluginCandidate, VersionResourceListsPairTypesWithExtensions) {
  EXPECT_TRUE(typeListHas("text/x-a|Application/X-KVLA", "application/x-kvla"));
  EXPECT_FALSE(typeListHas("application/x-kvla2|x", "application/x-kvla"));
  EXPECT_FALSE(typeListHas("", ""));
  EXPECT_EQ("kvl", extensionsForType("text/x-a|application/x-kvla", "a,b|kvl", "application/x-kvla"));
  EXPECT_EQ("", extensionsForType("text/x-a|application/x-kvla", "a", "application/x-kvla"));
}

TEST(BrowserFamilies, NameFiltersReadingOrderTablesAndTypeSources) {
  // Gecko takes np*.dll of at least 7 characters from a scanned folder, Java's excepted.
  EXPECT_EQ("", geckoFileNameSkip("npzurov.dll"));
  EXPECT_EQ("", geckoFileNameSkip("NPX.DLL"));
  EXPECT_EQ("not named np*.dll", geckoFileNameSkip("ZUROV.DLL"));
  EXPECT_EQ("not named np*.dll", geckoFileNameSkip("npzurov.exe"));
  EXPECT_EQ("name shorter than 7 characters", geckoFileNameSkip("np.dll"));
  EXPECT_NE("", geckoFileNameSkip("npjava11.dll"));
  EXPECT_NE("", geckoFileNameSkip("NPOJI610.DLL"));
  EXPECT_EQ("", pluginsFolderNameSkip(OPERA_RULES, "ZUROV.DLL"));  // Opera: any *.dll
  EXPECT_EQ("not named np*.dll", pluginsFolderNameSkip(WEBKIT_RULES, "ZUROV.DLL"));
  EXPECT_EQ("C:\\Program Files\\Kelvora", folderOf("C:\\Program Files\\Kelvora\\ZUROV.DLL"));

  const std::vector<RegisteredPath> user = {{"HKCU\\b", "C:\\z.dll", true}, {"HKCU\\n", "", true}};
  const std::vector<RegisteredPath> machine = {{"HKLM\\a", "C:\\a.dll", true}, {"HKLM\\c", "C:\\z.dll", true}};
  auto keys = [](const std::vector<RegisteredPath>& v) {
    std::string out;
    for (const RegisteredPath& p : v) out += p.key + " ";
    return out;
  };
  EXPECT_EQ("HKCU\\b HKCU\\n HKLM\\a HKLM\\c ", keys(inReadingOrder(GECKO_RULES, user, machine)));
  EXPECT_EQ("HKLM\\a HKLM\\c HKCU\\b HKCU\\n ", keys(inReadingOrder(WEBKIT_RULES, user, machine)));
  EXPECT_EQ("HKLM\\a HKCU\\b ", keys(inReadingOrder(CHROMIUM_RULES, user, machine)));  // one per path

  EXPECT_EQ(84, tableSize(GECKO_RULES, 4));  // Firefox 52 and UXP on i686
  EXPECT_EQ(29, GECKO_RULES.tableVersion);
  BrowserFamilyRules firefox36 = GECKO_RULES;
  firefox36.tableEntries = 14;
  EXPECT_EQ(60, tableSize(firefox36, 4));
  EXPECT_EQ(168, tableSize(CHROMIUM_RULES, 8));
  // The embedded engine of Chromium 21 on i686: 80 and 224 bytes, version 27.
  EXPECT_EQ(80, tableSize(*CHROMIUM_RULES.inProcess, 4));
  EXPECT_EQ(224, browserTableSize(*CHROMIUM_RULES.inProcess, 4));
  EXPECT_EQ(4, browserTableSize(CHROMIUM_RULES, 4));
  // Both Chromiums: an <object>'s <param> wins over its attribute of the same name.
  KvlaObject object = findKvlaObjects(
      "<object type=application/x-kvla Server=attrhost Port=1601><param name=server value=paramhost>"
      "<param name=Port value=1602></object>")[0];
  for (const BrowserFamilyRules* r : {&CHROMIUM_RULES, CHROMIUM_RULES.inProcess}) {
    std::string args;
    for (const NewArgument& a : r->habits->newArguments(object)) args += a.name + "=" + a.value + " ";
    EXPECT_EQ("server=paramhost Port=1602 type=application/x-kvla ", args) << r->browsers;
  }

  // A module whose type stands only in the key's MimeTypes is skipped by every family.
  CandidateFacts facts;
  facts.hasPath = facts.fileFound = facts.isImage = true;
  facts.image.machine = PE_MACHINE_AMD64;
  facts.image.exportNames = {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"};
  facts.versionBlockFound = facts.hasProductName = facts.hasFileDescription = true;
  facts.keyListsType = true;
  for (const BrowserFamilyRules* r : {&GECKO_RULES, &CHROMIUM_RULES, &WEBKIT_RULES, &OPERA_RULES, &NETSCAPE_RULES})
    EXPECT_NE(std::string::npos, skipReason(facts, *r, PE_MACHINE_AMD64, "application/x-kvla").find("only in the key's MimeTypes"))
        << r->name;
  facts.hasMimeType = true;
  facts.mimeTypes = "application/x-kvla";
  EXPECT_EQ("", skipReason(facts, WEBKIT_RULES, PE_MACHINE_AMD64, "application/x-kvla"));
  facts.hasFileDescription = false;  // WebKit wants it; Gecko does not
  EXPECT_EQ("no FileDescription in the version resource", skipReason(facts, WEBKIT_RULES, PE_MACHINE_AMD64, "application/x-kvla"));
  EXPECT_EQ("", skipReason(facts, GECKO_RULES, PE_MACHINE_AMD64, "application/x-kvla"));
  facts.image.exportNames.pop_back();  // no NP_Shutdown: Gecko only calls it when present
  EXPECT_EQ("", skipReason(facts, GECKO_RULES, PE_MACHINE_AMD64, "application/x-kvla"));
  EXPECT_EQ("no entry point NP_Shutdown or NP_PluginShutdown", skipReason(facts, OPERA_RULES, PE_MACHINE_AMD64, "application/x-kvla"));
}

TEST(KvlaEmbeds, ObjectsCarryTheirParamsAndHideTheirFallback) {
  std::vector<KvlaObject> found = findKvlaObjects(
      "<object type=application/x-kvla><param name=Server value=h><param value=nameless>"
      "<object><param name=inner value=x></object>"
      "<embed type=application/x-kvla></object>"
      "<object data=a.kvl></object><embed src=b.kvl>");
  ASSERT_EQ(3u, found.size());
  ASSERT_EQ(1u, found[0].params.size());
  EXPECT_EQ("Server", found[0].params[0].name);
  EXPECT_EQ("h", found[0].params[0].value);
  EXPECT_EQ("object", found[1].element.name);
  EXPECT_EQ("embed", found[2].element.name);
}

// Which objects a browser that lays plug-ins out leaves without an instance, and which
// frames it loads: display:none and hidden on the element or on an element still open
// around it, whatever the case and spacing; end tags close what they name.
TEST(KvlaEmbeds, HiddenObjectsAndFramesAreTold) {
  std::vector<KvlaObject> found = findKvlaObjects(
      "<embed type=application/x-kvla Server=shown>"
      "<div style='color: red; DISPLAY : None !important'><p><embed type=application/x-kvla Server=under></div>"
      "<embed type=application/x-kvla Server=after style='display:none'>"
      "<section hidden><object type=application/x-kvla></object></section>"
      "<embed type=application/x-kvla Server=inline style=\"display:inline; content: 'display:none'\">"
      "<div style='display:nonesuch'><embed type=application/x-kvla Server=last></div>");
  ASSERT_EQ(6u, found.size());
  const bool hidden[] = {false, true, true, true, false, false};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(hidden[i], found[i].hidden) << i;

  std::vector<HtmlFrame> frames = findFrames(
      "<iframe src=' a.html '></iframe><div style=display:none><iframe src=b.html></iframe></div>"
      "<iframe></iframe>");
  ASSERT_EQ(3u, frames.size());
  EXPECT_EQ("a.html", frames[0].src);
  EXPECT_FALSE(frames[0].hidden);
  EXPECT_TRUE(frames[1].hidden);
  EXPECT_EQ("", frames[2].src);
}

// Gecko's hang clock over one call, times in ms from its start (NONE: no such event).
TEST(GeckoHangClock, ShowsItsDialogAfter11sOfClockUnlessRestartedOrStopped) {
  const uint32_t NONE = ~0u;
  const struct {
    bool inProcess, firefox;
    uint32_t browserCallAt, filterAt, endAt;
    bool fails;
    const char* says;  // a part of what it prints; "" for nothing
  } rows[] = {
      {false, false, NONE, NONE, 10900, false, ""},
      {false, false, NONE, NONE, 11000, true, "would have shown at 11.0 s (the call took 11.0 s); Pale Moon kills the plug-in at 31.0 s"},
      {false, false, 5000, NONE, 15900, false, ""},  // restarted by an NPN_ call
      {false, false, 5000, NONE, 16000, true, "would have shown at 16.0 s"},
      {false, false, NONE, 900, 40000, false, "stopped at 900 ms (WH_MSGFILTER)"},
      {false, false, NONE, 12000, 12000, true, "stopped at 12000 ms"},
      {false, false, NONE, NONE, 31000, true, "Pale Moon would have killed the plug-in at 31.0 s"},
      {false, true, NONE, NONE, 31000, true, "Firefox 52 and Basilisk kill the plug-in at 56.0 s"},
      {true, false, NONE, 900, 40000, false, ""},  // in process: no clock
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.browserCallAt << " " << r.filterAt << " " << r.endAt);
    GeckoHangClock clock(r.inProcess, r.firefox);
    EXPECT_EQ(!r.inProcess, clock.wantsMessageFilterHook());
    const uint32_t start = 1000;
    clock.callStarted("NPP_New", start);
    if (r.browserCallAt != NONE) clock.browserCalled(start + r.browserCallAt);
    if (r.filterAt != NONE) clock.messageFilterCalled(start + r.filterAt);
    bool fails = false;
    std::string said = clock.callEnded("[1] NPP_New", start + r.endAt, &fails);
    EXPECT_EQ(r.fails, fails) << said;
    if (*r.says) EXPECT_NE(std::string::npos, said.find(r.says)) << said;
    if (!*r.says) EXPECT_EQ("", said);
    EXPECT_NE(std::string::npos, clock.summary().find("[1] NPP_New, " + std::to_string(r.endAt) + " ms"));
    clock.callStarted("NPP_Write", start);  // asynchronous: not on the clock
    EXPECT_EQ("", clock.callEnded("[1] NPP_Write", start + 60000, &fails));
    EXPECT_FALSE(fails);
  }
}

// The FINDCLIENT template as linked into this program, read back from its resources and
// parsed field by field (classic DLGTEMPLATE and DLGITEMTEMPLATE records).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/find_client_dialog.h"

namespace {

// A name-or-ordinal field: 0 (none), 0xFFFF + ordinal, or a NUL-terminated UTF-16 string.
struct NameOrOrdinal {
  bool present = false;
  WORD ordinal = 0;  // non-zero when given as an ordinal
  std::string text;  // ASCII text when given as a string
};

class TemplateReader {
 public:
  TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  WORD word() {
    if (at_ + 2 > size_) return fail();
    WORD w;
    memcpy(&w, data_ + at_, 2);
    at_ += 2;
    return w;
  }
  DWORD dword() {
    DWORD low = word();
    return low | (static_cast<DWORD>(word()) << 16);
  }
  NameOrOrdinal nameOrOrdinal() {
    NameOrOrdinal n;
    WORD first = word();
    if (first == 0) return n;
    n.present = true;
    if (first == 0xFFFF) {
      n.ordinal = word();
      return n;
    }
    for (WORD c = first; c != 0 && ok_; c = word()) n.text += static_cast<char>(c);
    return n;
  }
  void alignToDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }

 private:
  WORD fail() {
    ok_ = false;
    return 0;
  }
  const BYTE* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

struct Item {
  DWORD style, exStyle;
  short x, y, cx, cy;
  WORD id;
  NameOrOrdinal windowClass, title;
  WORD extraBytes;
};

struct ExpectedItem {
  WORD classAtom;
  WORD id;
  const char* text;
  short x, y, cx, cy;
  DWORD style;
};

}  // namespace

TEST(FindClientTemplate, ClassicNeutralTemplateWithTheExactLayout) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceExA(self, RT_DIALOG, FIND_CLIENT_DIALOG,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  ASSERT_TRUE(found != nullptr) << "no language-neutral FINDCLIENT dialog";
  const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, found)));
  size_t size = SizeofResource(self, found);
  ASSERT_TRUE(data != nullptr);

  TemplateReader r(data, size);
  // An extended template starts with version 1 and signature 0xFFFF.
  DWORD style = r.dword();
  ASSERT_NE(0xFFFF0001u, style) << "extended template";
  EXPECT_EQ(static_cast<DWORD>(WS_VISIBLE | WS_CAPTION | DS_MODALFRAME), style);
  EXPECT_EQ(0u, style & (WS_POPUP | WS_SYSMENU | DS_SETFONT));
  EXPECT_EQ(0u, r.dword());  // extended style
  WORD count = r.word();
  EXPECT_EQ(5, count);
  short x = r.word(), y = r.word(), cx = r.word(), cy = r.word();
  EXPECT_EQ(50, x);
  EXPECT_EQ(8, y);
  EXPECT_EQ(170, cx);
  EXPECT_EQ(62, cy);
  EXPECT_FALSE(r.nameOrOrdinal().present);  // no menu
  EXPECT_FALSE(r.nameOrOrdinal().present);  // the default dialog class
  EXPECT_EQ("Finding Kelvora Client Application", r.nameOrOrdinal().text);
  // No DS_SETFONT: no font fields follow the caption.

  std::vector<Item> items;
  for (WORD i = 0; i < count && r.ok(); ++i) {
    r.alignToDword();
    Item it;
    it.style = r.dword();
    it.exStyle = r.dword();
    it.x = r.word();
    it.y = r.word();
    it.cx = r.word();
    it.cy = r.word();
    it.id = r.word();
    it.windowClass = r.nameOrOrdinal();
    it.title = r.nameOrOrdinal();
    it.extraBytes = r.word();
    items.push_back(it);
  }
  ASSERT_TRUE(r.ok()) << "template ends early";
  ASSERT_EQ(5u, items.size());

  const WORD button = 0x0080, edit = 0x0081, staticText = 0x0082;
  const ExpectedItem expected[] = {
      {staticText, 0xFFFF, "Kelvora Client", 10, 10, 150, 10,
       WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT},
      {edit, 1000, "", 10, 20, 110, 12, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT},
      {button, 1010, "&Browse", 130, 20, 30, 12,
       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
      {button, IDOK, "&OK", 120, 40, 40, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {button, IDCANCEL, "&CANCEL", 70, 40, 40, 12,
       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
  };
  for (size_t i = 0; i < 5; ++i) {
    const Item& it = items[i];
    const ExpectedItem& e = expected[i];
    SCOPED_TRACE("control " + std::to_string(i + 1));
    EXPECT_EQ(e.classAtom, it.windowClass.ordinal);
    EXPECT_EQ(e.id, it.id);
    EXPECT_EQ(e.text, it.title.text);
    EXPECT_EQ(e.x, it.x);
    EXPECT_EQ(e.y, it.y);
    EXPECT_EQ(e.cx, it.cx);
    EXPECT_EQ(e.cy, it.cy);
    EXPECT_EQ(e.style, it.style);
    EXPECT_EQ(0u, it.exStyle);
    EXPECT_EQ(0, it.extraBytes);
  }
  EXPECT_EQ(0u, items[1].style & ES_AUTOHSCROLL);
}

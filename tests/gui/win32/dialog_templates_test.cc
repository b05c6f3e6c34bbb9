// The native dialogs' templates, icon and pictures as the program carries them: each template is
// read back from the executable's resources and walked (no window is made, so no display is
// needed; under Wine a dialog cannot be created without one). The layouts are those the run, start
// and error dialogs are known by: ids, texts, dialog units and the 10-point "MS UI Gothic" font.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "gui/win32/resource.h"
#include "run/error_report.h"
#include "run/messages.h"

namespace deltrix::gui::win32 {
namespace {

constexpr std::u16string_view kButton = u"button";
constexpr std::u16string_view kStatic = u"static";
constexpr std::u16string_view kComboBox = u"combobox";
constexpr uint32_t kNoId = 0xFFFFFFFF;

// A class or menu given by number or by name.
struct NameOrNumber {
  uint16_t number = 0;
  std::u16string name;
};

struct Item {
  uint32_t id = 0;
  std::u16string windowClass;  // lower case, predefined classes by name
  std::u16string text;
  int x = 0, y = 0, w = 0, h = 0;
  uint32_t style = 0;
};

struct Template {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int w = 0, h = 0;
  std::u16string title;
  int pointSize = 0;
  int weight = 0;
  std::u16string face;
  std::vector<Item> items;
};

// A control's class as the dialog manager knows it: the predefined classes may be given by number
// or by name, in any case.
std::u16string ClassName(const NameOrNumber& windowClass) {
  static constexpr std::u16string_view kPredefined[] = {u"button",  u"edit",      u"static",
                                                        u"listbox", u"scrollbar", u"combobox"};
  if (windowClass.name.empty()) {
    const int index = windowClass.number - 0x80;
    return index >= 0 && index < 6 ? std::u16string(kPredefined[index]) : u"#";
  }
  std::u16string name = windowClass.name;
  for (char16_t& c : name) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  return name;
}

// A cursor over a resource's bytes; every read is checked against the end.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  uint16_t U16() {
    uint16_t v = 0;
    Take(&v, 2);
    return v;
  }
  uint32_t U32() {
    uint32_t v = 0;
    Take(&v, 4);
    return v;
  }
  int S16() { return static_cast<int16_t>(U16()); }
  uint8_t U8() {
    uint8_t v = 0;
    Take(&v, 1);
    return v;
  }
  std::u16string Text() {
    std::u16string text;
    for (uint16_t unit = U16(); ok_ && unit != 0; unit = U16()) text += static_cast<char16_t>(unit);
    return text;
  }
  NameOrNumber Name() {
    NameOrNumber name;
    const uint16_t first = U16();
    if (first == 0xFFFF) {
      name.number = U16();
    } else if (first != 0) {
      name.name = static_cast<char16_t>(first) + Text();
    }
    return name;
  }
  void AlignTo4() { Skip((4 - pos_ % 4) % 4); }
  void Skip(size_t n) {
    if (n > size_ - pos_)
      ok_ = false;
    else
      pos_ += n;
  }

 private:
  void Take(void* out, size_t n) {
    if (!ok_ || n > size_ - pos_) {
      ok_ = false;
      return;
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::optional<std::vector<uint8_t>> Resource(int id, LPCWSTR type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
  if (bytes == nullptr) return std::nullopt;
  return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
}

// Walks an extended dialog template (the form DIALOGEX compiles to).
std::optional<Template> LoadTemplate(int id) {
  const auto bytes = Resource(id, MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (!bytes) return std::nullopt;
  Cursor in(bytes->data(), bytes->size());
  Template t;
  if (in.U16() != 1 || in.U16() != 0xFFFF) return std::nullopt;  // version 1, extended form
  in.U32();                                                      // help id
  t.exStyle = in.U32();
  t.style = in.U32();
  const int count = in.U16();
  in.S16();
  in.S16();
  t.w = in.S16();
  t.h = in.S16();
  in.Name();  // menu
  in.Name();  // class
  t.title = in.Text();
  if (t.style & DS_SETFONT) {
    t.pointSize = in.U16();
    t.weight = in.U16();
    in.U8();  // italic
    in.U8();  // character set
    t.face = in.Text();
  }
  for (int i = 0; i < count && in.ok(); ++i) {
    in.AlignTo4();
    Item item;
    in.U32();  // help id
    in.U32();  // extended style
    item.style = in.U32();
    item.x = in.S16();
    item.y = in.S16();
    item.w = in.S16();
    item.h = in.S16();
    item.id = in.U32();
    item.windowClass = ClassName(in.Name());
    const NameOrNumber text = in.Name();
    item.text = text.name;
    in.Skip(in.U16());  // creation data
    t.items.push_back(item);
  }
  if (!in.ok()) return std::nullopt;
  return t;
}

struct WantItem {
  uint32_t id;
  std::u16string_view windowClass;
  std::u16string_view text;
  int x, y, w, h;
};

struct WantDialog {
  int id;
  const char* name;
  int w, h;
  std::u16string_view title;
  bool closeBox;  // the template's window menu (the run dialog has none)
  std::vector<WantItem> items;
};

std::vector<WantDialog> WantDialogs() {
  const std::u16string_view title = u"DELTRIX LIBRARY CREATOR";
  return {
      {IDD_SETTINGS,
       "CSettingDlg",
       179,
       153,
       title,
       true,
       {
           {IDC_SETTINGS_HEADING, kStatic, u"Program Setting", 7, 6, 165, 10},
           {kNoId, kStatic, u"Drive", 14, 20, 150, 8},
           {IDC_DRIVES, kComboBox, u"", 14, 29, 151, 120},
           {kNoId, kStatic, u"ID Tag Language", 14, 47, 150, 8},
           {IDC_LANGUAGES, kComboBox, u"", 14, 56, 151, 120},
           {IDC_MODE_HEADING, kStatic, u"Library Mode", 7, 76, 165, 10},
           {IDC_CREATE, kButton, u"Create Library", 14, 89, 75, 10},
           {IDC_UPDATE, kButton, u"Update Library", 92, 89, 75, 10},
           {IDC_REREAD, kButton, u"Read changed files again", 14, 102, 153, 10},
           {kNoId, kStatic, u"", 7, 118, 165, 1},
           {IDC_START, kButton, u"Start", 33, 129, 50, 14},
           {IDC_CLOSE, kButton, u"Close", 96, 129, 50, 14},
       }},
      {IDD_RUN,
       "CRunDlg",
       239,
       143,
       u" ",
       false,
       {
           {1027, kStatic, u"Creating..", 10, 8, 124, 16},
           {1029, kStatic, u"Current Status/files", 10, 23, 78, 8},
           {1030, kStatic, u"Processing Time", 160, 23, 63, 8},
           {1032, kStatic, u"Processed", 12, 32, 36, 8},
           {1008, kStatic, u"1234567", 52, 32, 29, 8},
           {kNoId, kStatic, u"Total", 24, 44, 24, 8},
           {1003, kStatic, u"1234567", 52, 44, 29, 8},
           {kNoId, kStatic, u"Remaining", 161, 32, 36, 8},
           {1009, kStatic, u"000:00", 204, 32, 25, 8},
           {kNoId, kStatic, u"Elapsed", 161, 44, 36, 8},
           {1007, kStatic, u"00:00", 205, 44, 24, 8},
           {kNoId, kStatic, u"", 15, 41, 67, 1},
           {kNoId, kStatic, u"", 50, 33, 1, 19},
           {kNoId, kStatic, u"", 166, 41, 63, 1},
           {kNoId, kStatic, u"", 200, 33, 1, 19},
           {1005, u"msctls_progress32", u"", 10, 56, 219, 11},
           {1031, kStatic, u"Processing path", 10, 72, 119, 8},
           {1006, kStatic, u"", 10, 82, 219, 32},
           {1039, kStatic, u"output", 15, 85, 208, 27},
           {1004, kButton, u"Cancel", 94, 124, 50, 12},
       }},
      {IDD_CANCEL,
       "CCancelDlg",
       199,
       58,
       title,
       true,
       {
           {1036, kStatic, u"", 37, 8, 155, 28},
           {IDOK, kButton, u"Yes", 46, 38, 50, 13},
           {IDCANCEL, kButton, u"No", 101, 38, 50, 13},
       }},
      {IDD_FINISH,
       "CFinshDialog",
       179,
       50,
       title,
       true,
       {
           {1028, kStatic, u"", 7, 7, 165, 14},
           {IDOK, kButton, u"Finish", 64, 28, 50, 14},
           {IDC_DETAILS, kButton, u"", 94, 28, 50, 14},
       }},
      {IDD_REMOVE,
       "CRemoveDlg",
       199,
       58,
       title,
       true,
       {
           {1036, kStatic, u"", 37, 8, 155, 28},
           {IDYES, kButton, u"Yes", 46, 38, 50, 13},
           {IDNO, kButton, u"No", 101, 38, 50, 13},
       }},
      {IDD_DETAILS,
       "CDetailsDlg",
       320,
       200,
       title,
       true,
       {
           {IDC_DETAILS_TEXT, u"edit", u"", 7, 7, 306, 166},
           {IDOK, kButton, u"Close", 135, 179, 50, 14},
       }},
      {IDD_START_CHECK,
       "CStartCheckDlg",
       239,
       82,
       title,
       true,
       {
           {1034, kStatic, u"", 37, 8, 195, 26},
           {kNoId, kStatic, u"Slected Drive :\nID Tag Language :", 37, 38, 68, 18},
           {1035, kStatic, u"", 109, 38, 123, 18},
           {IDOK, kButton, u"OK", 66, 62, 50, 14},
           {IDCANCEL, kButton, u"Cancel", 123, 62, 50, 14},
       }},
      {IDD_ERROR,
       "CErrorDlg",
       199,
       58,
       title,
       true,
       {
           {1036, kStatic, u"", 37, 10, 155, 10},
           {1037, kStatic, u"", 37, 23, 155, 10},
           {IDOK, kButton, u"OK", 74, 38, 50, 14},
       }},
      {IDD_CANNOT_OPEN,
       "CCannotOpen",
       199,
       65,
       title,
       true,
       {
           {1036, kStatic,
            u"Canonot open a file.\nSee the processing dialog for the file name.\nSkip the file or "
            u"abort creating the library?",
            37, 7, 155, 27},
           {1037, kStatic, u"Error Code : E-02", 37, 35, 155, 9},
           {IDOK, kButton, u"Skip", 19, 47, 50, 13},
           {1041, kButton, u"Skip All", 74, 47, 50, 13},
           {1040, kButton, u"Abort", 129, 47, 50, 13},
       }},
  };
}

TEST(DialogTemplates, EveryDialogHasItsSizeTitleFontAndControls) {
  for (const WantDialog& want : WantDialogs()) {
    SCOPED_TRACE(want.name);
    const std::optional<Template> got = LoadTemplate(want.id);
    ASSERT_TRUE(got.has_value()) << "template " << want.id << " missing or malformed";
    EXPECT_EQ(want.w, got->w);
    EXPECT_EQ(want.h, got->h);
    EXPECT_EQ(want.title, got->title);
    EXPECT_EQ(10, got->pointSize);
    EXPECT_EQ(u"MS UI Gothic", got->face);
    EXPECT_EQ(want.closeBox, (got->style & WS_SYSMENU) != 0);
    EXPECT_NE(0u, got->style & WS_CAPTION);
    EXPECT_EQ(0u, got->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    ASSERT_EQ(want.items.size(), got->items.size());
    for (size_t i = 0; i < want.items.size(); ++i) {
      SCOPED_TRACE(i);
      const WantItem& w = want.items[i];
      const Item& g = got->items[i];
      EXPECT_EQ(w.id, g.id);
      EXPECT_EQ(w.windowClass, g.windowClass);
      EXPECT_EQ(w.text, g.text);
      EXPECT_EQ(w.x, g.x);
      EXPECT_EQ(w.y, g.y);
      EXPECT_EQ(w.w, g.w);
      EXPECT_EQ(w.h, g.h);
    }
  }
}

// How each control behaves follows from its style: the kind of static, button and list.
TEST(DialogTemplates, ControlsHaveTheirKinds) {
  auto style = [](int dialog, uint32_t id, size_t nth = 0) -> uint32_t {
    const std::optional<Template> t = LoadTemplate(dialog);
    if (!t) return 0xFFFFFFFF;
    for (const Item& item : t->items) {
      if (item.id == id && nth-- == 0) return item.style;
    }
    return 0xFFFFFFFF;
  };
  const std::optional<Template> settings = LoadTemplate(IDD_SETTINGS);
  ASSERT_TRUE(settings.has_value());
  EXPECT_NE(0u, settings->exStyle & WS_EX_ACCEPTFILES) << "a drive may be dropped on it";
  EXPECT_NE(0u, settings->exStyle & WS_EX_APPWINDOW) << "a taskbar button of its own";
  EXPECT_EQ(static_cast<uint32_t>(CBS_DROPDOWNLIST), style(IDD_SETTINGS, IDC_DRIVES) & 0x3);
  EXPECT_EQ(0u, style(IDD_SETTINGS, IDC_DRIVES) & CBS_SORT) << "drives stay in letter order";
  EXPECT_EQ(0u, style(IDD_SETTINGS, IDC_LANGUAGES) & CBS_SORT) << "languages stay in list order";
  EXPECT_EQ(static_cast<uint32_t>(BS_AUTORADIOBUTTON), style(IDD_SETTINGS, IDC_CREATE) & 0xF);
  EXPECT_EQ(static_cast<uint32_t>(BS_AUTORADIOBUTTON), style(IDD_SETTINGS, IDC_UPDATE) & 0xF);
  EXPECT_EQ(static_cast<uint32_t>(BS_AUTOCHECKBOX), style(IDD_SETTINGS, IDC_REREAD) & 0xF);
  EXPECT_EQ(static_cast<uint32_t>(SS_ETCHEDHORZ), style(IDD_SETTINGS, kNoId, 2) & SS_TYPEMASK);

  // Counts and times are right-aligned; the path sits in a frame and shows '&' as it is.
  for (uint32_t id : {1032u, 1008u, 1003u, 1009u, 1007u}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(static_cast<uint32_t>(SS_RIGHT), style(IDD_RUN, id) & SS_TYPEMASK);
  }
  EXPECT_EQ(static_cast<uint32_t>(SS_ETCHEDFRAME), style(IDD_RUN, 1006) & SS_TYPEMASK);
  EXPECT_NE(0u, style(IDD_RUN, 1039) & SS_NOPREFIX);
  EXPECT_EQ(static_cast<uint32_t>(SS_ETCHEDHORZ), style(IDD_RUN, kNoId, 3) & SS_TYPEMASK);
  EXPECT_EQ(static_cast<uint32_t>(SS_ETCHEDVERT), style(IDD_RUN, kNoId, 4) & SS_TYPEMASK);

  // The code lines and the finish message are centred; Enter gives OK where there is one.
  EXPECT_EQ(static_cast<uint32_t>(SS_CENTER), style(IDD_ERROR, 1037) & SS_TYPEMASK);
  EXPECT_EQ(static_cast<uint32_t>(SS_CENTER), style(IDD_CANNOT_OPEN, 1037) & SS_TYPEMASK);
  EXPECT_EQ(static_cast<uint32_t>(SS_CENTER), style(IDD_FINISH, 1028) & SS_TYPEMASK);
  for (int dialog : {IDD_ERROR, IDD_CANNOT_OPEN, IDD_START_CHECK, IDD_CANCEL, IDD_FINISH}) {
    SCOPED_TRACE(dialog);
    EXPECT_EQ(static_cast<uint32_t>(BS_DEFPUSHBUTTON), style(dialog, IDOK) & 0xF);
  }
  EXPECT_EQ(static_cast<uint32_t>(SS_RIGHT), style(IDD_START_CHECK, kNoId) & SS_TYPEMASK);

  // The removal question's default is No; the finish message's Details button waits hidden until
  // the run left something out; the details are read-only.
  EXPECT_EQ(static_cast<uint32_t>(BS_DEFPUSHBUTTON), style(IDD_REMOVE, IDNO) & 0xF);
  EXPECT_EQ(static_cast<uint32_t>(BS_PUSHBUTTON), style(IDD_REMOVE, IDYES) & 0xF);
  EXPECT_EQ(0u, style(IDD_FINISH, IDC_DETAILS) & WS_VISIBLE);
  EXPECT_NE(0u, style(IDD_DETAILS, IDC_DETAILS_TEXT) & ES_READONLY);
  EXPECT_NE(0u, style(IDD_DETAILS, IDC_DETAILS_TEXT) & ES_MULTILINE);
}

// The texts fixed in the templates are the ones every front-end shows (run/messages.h).
TEST(DialogTemplates, FixedTextsAgreeWithThePrograms) {
  const std::optional<Template> cannotOpen = LoadTemplate(IDD_CANNOT_OPEN);
  ASSERT_TRUE(cannotOpen.has_value());
  EXPECT_EQ(run::kCannotOpenFileMessage, cannotOpen->items[0].text);
  EXPECT_EQ(run::ErrorCodeLine(2), cannotOpen->items[1].text);
  EXPECT_EQ(std::u16string_view(u"" DELTRIX_DIALOG_TITLE), cannotOpen->title);

  const std::optional<Template> startCheck = LoadTemplate(IDD_START_CHECK);
  ASSERT_TRUE(startCheck.has_value());
  EXPECT_EQ(
      std::u16string(run::kSelectedDriveLabel) + u"\n" + std::u16string(run::kTagLanguageLabel),
      startCheck->items[1].text);
}

// The pictures are 32 x 32 with pure red where they are transparent; the icon holds the sizes
// Windows asks for. Read from the resource data, so no display is needed.
TEST(DialogTemplates, PicturesAndIconAreThere) {
  for (int id : {IDB_QUESTION, IDB_ERROR}) {
    SCOPED_TRACE(id);
    const auto bytes = Resource(id, MAKEINTRESOURCEW(2));  // RT_BITMAP
    ASSERT_TRUE(bytes.has_value());
    ASSERT_GE(bytes->size(), sizeof(BITMAPINFOHEADER) + 32 * 32 * 3);
    BITMAPINFOHEADER info;
    std::memcpy(&info, bytes->data(), sizeof info);
    EXPECT_EQ(32, info.biWidth);
    EXPECT_EQ(32, info.biHeight);
    EXPECT_EQ(24, info.biBitCount);
    const uint8_t* corner = bytes->data() + info.biSize;  // bottom-left pixel, blue green red
    EXPECT_EQ(0, corner[0]);
    EXPECT_EQ(0, corner[1]);
    EXPECT_EQ(255, corner[2]);
    const uint8_t* middle = corner + 16 * 96 + 16 * 3;
    EXPECT_FALSE(middle[0] == 0 && middle[1] == 0 && middle[2] == 255) << "the picture is drawn";
  }

  const auto group = Resource(IDI_PROGRAM, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_TRUE(group.has_value());
  Cursor in(group->data(), group->size());
  in.U16();
  EXPECT_EQ(1, in.U16());  // icons
  const int count = in.U16();
  std::vector<int> sizes;
  for (int i = 0; i < count && in.ok(); ++i) {
    const int width = in.U8();
    in.Skip(13);  // height, colours, reserved, planes, bit count, bytes, resource id
    sizes.push_back(width == 0 ? 256 : width);
  }
  ASSERT_TRUE(in.ok());
  for (int size : {16, 32, 48}) {
    EXPECT_NE(sizes.end(), std::find(sizes.begin(), sizes.end(), size)) << size;
  }
}

}  // namespace
}  // namespace deltrix::gui::win32

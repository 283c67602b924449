#include "app/settings_definition.h"

#include "platform/window_classes.h"

namespace zanto {

using namespace platform;

namespace {

constexpr unsigned kAll = akLeft | akTop | akRight | akBottom;

FormDef Build() {
  FormDef f;
  f.name = "frmSettings";
  f.className = window_class::kSettings;
  f.caption = "Zanto|Settings...";
  f.width = 419;
  f.height = 280;
  f.clientWidth = 411;
  f.clientHeight = 253;
  f.centered = true;
  f.font = FontDef{"MS Sans Serif", -11, false, false};

  auto add = [&](ControlDef c) {
    f.controls.push_back(std::move(c));
    return static_cast<int>(f.controls.size()) - 1;
  };
  auto control = [](std::string name, ControlKind kind, int parent, Rect bounds, unsigned anchors) {
    ControlDef c;
    c.name = std::move(name);
    c.kind = kind;
    c.parent = parent;
    c.bounds = bounds;
    c.anchors = anchors;
    return c;
  };

  ControlDef bevel1 =
      control("Bevel1", ControlKind::Bevel, -1, {8, 187, 393, 18}, akLeft | akRight | akBottom);
  bevel1.shape = BevelShape::BottomLine;
  add(bevel1);

  ControlDef cancel =
      control("BitBtn1", ControlKind::Button, -1, {326, 217, 75, 25}, akRight | akBottom);
  cancel.caption = "&Cancel";
  cancel.tabOrder = 0;
  add(cancel);

  ControlDef ok =
      control("BitBtn2", ControlKind::Button, -1, {246, 217, 75, 25}, akRight | akBottom);
  ok.caption = "&OK";
  ok.tabOrder = 1;
  ok.isDefault = true;
  add(ok);

  ControlDef pages = control("PageControl", ControlKind::PageControl, -1, {8, 8, 393, 188}, kAll);
  pages.tabOrder = 2;
  pages.activePage = 2;
  const int pageControl = add(pages);

  // The pages fill the page control below its tabs.
  const Rect pageBounds{4, 24, 385, 160};

  ControlDef general = control("TabSheet1", ControlKind::TabSheet, pageControl, pageBounds, kAll);
  general.caption = "General";
  const int generalPage = add(general);
  ControlDef note =
      control("Label6", ControlKind::Label, generalPage, {8, 16, 332, 13}, akLeft | akTop);
  note.caption = "Sorry, no options implemented at the moment. Hey, this is just a beta! :)";
  add(note);

  ControlDef quotes = control("TabSheet2", ControlKind::TabSheet, pageControl, pageBounds, kAll);
  quotes.caption = "Quotes";
  quotes.borderWidth = 4;
  const int quotesPage = add(quotes);
  ControlDef list = control("ListView1", ControlKind::ListView, quotesPage, {4, 4, 377, 152}, kAll);
  list.alignClient = true;
  list.columns = {{"Quote", 300}};
  list.columnClick = false;
  list.readOnly = true;
  list.hideSelection = false;
  list.tabOrder = 0;
  add(list);

  ControlDef about = control("TabSheet3", ControlKind::TabSheet, pageControl, pageBounds, kAll);
  about.caption = "About";
  const int aboutPage = add(about);

  ControlDef title =
      control("Label1", ControlKind::Label, aboutPage, {8, 8, 37, 13}, akLeft | akTop);
  title.caption = "Zanto";
  title.parentFont = false;
  title.font = FontDef{"MS Sans Serif", -11, true, false};
  title.autoSize = true;
  add(title);

  ControlDef version =
      control("Label2", ControlKind::Label, aboutPage, {48, 8, 21, 13}, akLeft | akTop);
  version.caption = "v0.1";
  version.parentFont = false;
  version.font = FontDef{"MS Sans Serif", -11, false, false};
  version.autoSize = true;
  add(version);

  ControlDef motto =
      control("Label5", ControlKind::Label, aboutPage, {187, 8, 189, 13}, akTop | akRight);
  motto.caption = "Zanto Velmar does not sleep. He waits.";
  motto.parentFont = false;
  motto.font = FontDef{"MS Sans Serif", -11, false, true};
  motto.align = TextAlign::Right;
  motto.autoSize = true;
  add(motto);

  ControlDef bevel2 =
      control("Bevel2", ControlKind::Bevel, aboutPage, {8, 28, 369, 21}, akLeft | akTop | akRight);
  bevel2.shape = BevelShape::TopLine;
  add(bevel2);

  ControlDef credit =
      control("Label3", ControlKind::Label, aboutPage, {8, 40, 186, 13}, akLeft | akTop);
  credit.caption = "Written and directed by Mira Castell.";
  credit.autoSize = true;
  add(credit);

  ControlDef contact =
      control("Label4", ControlKind::Label, aboutPage, {8, 64, 338, 26}, akLeft | akTop | akRight);
  contact.caption =
      "Direct all bugreports, complaints and worship to zanto@example.org. A total absense of "
      "support can be found at https://zanto.example.org";
  contact.wordWrap = true;
  contact.autoSize = true;
  add(contact);
  return f;
}

}  // namespace

const FormDef& SettingsFormDefinition() {
  static const FormDef definition = Build();
  return definition;
}

}  // namespace zanto

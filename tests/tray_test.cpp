// The tray icon over the simulated desktop: what it tells the shell, how it withdraws the
// application and brings it back, and how it answers the icon's and the shell's events.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_desktop.h"
#include "support/bare_window.h"
#include "support/constants.h"
#include "support/trace_reader.h"
#include "support/versioned_shell.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "tray/tray_icon.h"

namespace zanto {
namespace {

namespace wm = platform::wm;
namespace nin = platform::nin;
namespace sc = platform::sc;
using platform::IconId;
using sim::SimDesktop;
namespace nif = platform::nif;
namespace niif = platform::niif;
using platform::NotifyIconData;
using test::kShell471;
using test::kShell60;
using test::TraceLine;
using Ops = std::vector<std::string>;

// A window that owns a tray icon, a menu for it, a drop-down menu and an image list.
class TrayForm : public TForm {
 public:
  using Setup = std::function<void(TrayForm&)>;
  TrayForm(TApplication& app, const Setup& setup)
      : TForm(app, test::BareWindow("frmTray")),
        Menu(Create<TPopupMenu>("Menu")),
        First(Create<TMenuItem>("First", "&First")),
        N1(Create<TMenuItem>("N1", "-")),
        Second(Create<TMenuItem>("Second", "&Second")),
        DropDown(Create<TPopupMenu>("DropDown")),
        Third(Create<TMenuItem>("Third", "&Third")),
        Images(Create<TImageList>("Images")),
        Tray(Create<TTrayIcon>("Tray")) {
    Tray.BeginLoading();
    for (TMenuItem* item : {&First, &N1, &Second}) Menu.Add(*item);
    DropDown.Add(Third);
    for (TMenuItem* item : {&First, &Second, &Third})
      item->SetOnClick([this](TMenuItem& i) { clicked.push_back(i.Name()); });
    for (int i = 0; i < 3; ++i) Images.Add(static_cast<IconId>(10 + i));
    setup(*this);
  }

  TPopupMenu& Menu;
  TMenuItem& First;
  TMenuItem& N1;
  TMenuItem& Second;
  TPopupMenu& DropDown;
  TMenuItem& Third;
  TImageList& Images;
  TTrayIcon& Tray;
  std::vector<std::string> clicked;
};

// As this program sets its icon up.
void ThisProgram(TrayForm& f) {
  f.Tray.SetIcon(IconId::Program);
  f.Tray.SetVisibility({tvVisibleTaskList, tvAutoHide});
  f.Tray.SetPopupMenu(&f.Menu);
  f.Tray.SetActive(true);
}

sim::SimOptions Shell(std::optional<std::uint32_t> version) {
  sim::SimOptions options;
  options.shellVersion = version;
  return options;
}

// An application with the tray window over the simulated desktop, started as the program
// starts; the trace is read back piece by piece.
struct Harness {
  explicit Harness(sim::SimOptions options = {}, const TrayForm::Setup& setup = ThisProgram)
      : sim(options, trace.Sink()), shell(sim, options.shellVersion) {
    app = std::make_unique<TApplication>(platform::DesktopRoles{shell, sim, sim, sim, sim});
    app->Initialize();
    app->SetTitle("Zanto");
    form = &app->CreateForm<TrayForm>(setup);
  }
  TTrayIcon& tray() const { return form->Tray; }

  // The trace written since the last look.
  test::TraceLines TakeLines() { return trace.Take(); }
  // The same, one short word each: kAdd, "taskbar hide", "window show normal", ...
  Ops Take() {
    Ops ops;
    for (const TraceLine& l : TakeLines()) {
      const std::string op = l.Get("op");
      if (op == "shell")
        ops.push_back(l.Get("msg") + " " + l.Get("uFlags"));
      else if (op == "taskbar")
        ops.push_back("taskbar " + l.Get("do"));
      else if (op == "window")
        ops.push_back("window " + l.Get("do") + (l.Has("state") ? ' ' + l.Get("state") : ""));
      else if (op == "popup")
        ops.push_back("popup " + l.Get("menu"));
      else if (op == "foreground")
        ops.push_back("foreground " + l.Get("window"));
      else if (op == "post")
        ops.push_back("post " + l.Get("msg"));
      else if (op == "errorbox")
        ops.push_back("errorbox " + l.Get("caption") + ": " + l.Get("text"));
      else if (op == "tasklist")
        ops.push_back("tasklist " + l.Get("listed"));
      else
        ops.push_back(op);
    }
    return ops;
  }
  void Tray(std::uint32_t code, unsigned keys = 0) { sim.TrayCallback(code, keys); }
  void LeftClick() {
    Tray(wm::LButtonDown);
    Tray(wm::LButtonUp);
  }
  void RightClick() {
    Tray(wm::RButtonDown);
    Tray(wm::RButtonUp);
  }

  test::TraceRecorder trace;
  SimDesktop sim;
  test::VersionedShell shell;
  std::unique_ptr<TApplication> app;
  TrayForm* form = nullptr;
};

// The shell requests in Take()'s words: the request and its flags.
std::string Request(const char* msg, std::uint32_t flags) {
  return std::string(msg) + " " + std::to_string(flags);
}
const std::string kAdd = Request("NIM_ADD", test::kAddFlags);
const std::string kSetVersion = Request("NIM_SETVERSION", 0);
const std::string kDelete = Request("NIM_DELETE", 0);
const std::string kBalloon = Request("NIM_MODIFY", nif::Info);
const std::string kNewIcon = Request("NIM_MODIFY", nif::Icon);

const Ops kPopup{"foreground TTrayIconWindow", "popup Menu", "post WM_NULL"};
const Ops kShowFirst{"taskbar minimize", "taskbar show", "taskbar restore", "window show normal"};
const Ops kHideShown{"taskbar minimize", "window hide", "taskbar hide"};

TEST(TrayIcon, StartsHiddenWithTheRecordTheShellVersionCallsFor) {
  Harness modern;
  auto lines = modern.TakeLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Get("msg"), "NIM_ADD");
  EXPECT_EQ(lines[0].Number("cbSize"), NotifyIconData::kLongSize);
  EXPECT_EQ(lines[0].Number("uID"), TTrayIcon::kIconId);
  EXPECT_EQ(lines[0].Number("uFlags"), test::kAddFlags);
  EXPECT_EQ(lines[0].Number("uCallbackMessage"), TTrayIcon::kCallbackMessage);
  EXPECT_EQ(lines[1].Get("msg"), "NIM_SETVERSION");
  EXPECT_EQ(lines[1].Number("uFlags"), 0);
  EXPECT_EQ(lines[1].Number("uTimeout"), 3);
  EXPECT_EQ(lines[2].Get("do"), "hide");
  TTrayIcon& tray = modern.tray();
  EXPECT_TRUE(tray.IconShown());
  EXPECT_TRUE(modern.sim.IconPresent());
  EXPECT_TRUE(tray.HiddenAtStart());
  EXPECT_FALSE(modern.app->ShowMainForm);
  EXPECT_FALSE(tray.ApplicationVisible());
  EXPECT_EQ(tray.IconInUse(), IconId::Program);
  EXPECT_EQ(tray.Record().hWnd, tray.Handle());
  EXPECT_TRUE(tray.TaskListed());

  Harness old(Shell(kShell471));
  lines = old.TakeLines();
  ASSERT_EQ(lines.size(), 2u) << "no version request for an old shell";
  EXPECT_EQ(lines[0].Get("msg"), "NIM_ADD");
  EXPECT_EQ(lines[0].Number("cbSize"), NotifyIconData::kShortSize);
  EXPECT_EQ(lines[1].Get("do"), "hide");

  // The order in which a definition sets the options makes no difference: while loading,
  // an icon that is to be active is not active yet.
  Harness activeFirst({}, [](TrayForm& f) {
    f.Tray.SetActive(true);
    f.Tray.SetVisibility({tvVisibleTaskList, tvAutoHide});
  });
  EXPECT_EQ(activeFirst.Take(), (Ops{kAdd, kSetVersion, "taskbar hide"}));
  EXPECT_TRUE(activeFirst.tray().HiddenAtStart());

  // Not active: nothing reaches the shell and the application is not hidden.
  Harness idle({}, [](TrayForm& f) { f.Tray.SetVisibility({tvVisibleTaskList}); });
  EXPECT_TRUE(idle.Take().empty());
  EXPECT_FALSE(idle.tray().HiddenAtStart());
  EXPECT_EQ(idle.tray().IconInUse(), IconId::Application) << "no icon of its own";
}

TEST(TrayIcon, TheTipIsTheShortHintCutToTheShellsLimitAndSentOnTheNextMove) {
  Harness modern({}, [](TrayForm& f) {
    f.Tray.SetHint("Zanto|The quote teller");
    ThisProgram(f);
  });
  EXPECT_EQ(modern.TakeLines()[0].Get("tip"), "Zanto");

  TTrayIcon& tray = modern.tray();
  tray.SetHint(std::string(200, 'h') + "|long");
  EXPECT_TRUE(modern.Take().empty()) << "the shell learns it at the next move";
  modern.Tray(wm::MouseMove);
  auto lines = modern.TakeLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Number("uFlags"), nif::Tip);
  EXPECT_EQ(lines[0].Get("tip"), std::string(127, 'h'));
  modern.Tray(wm::MouseMove);
  tray.SetHint(tray.Hint());
  modern.Tray(wm::MouseMove);
  EXPECT_TRUE(modern.Take().empty()) << "an unchanged tip is sent once";
  tray.SetHint("two\r\nlines");
  EXPECT_EQ(tray.Hint(), "two\r\nlines");

  Harness old(Shell(kShell471));
  old.TakeLines();
  old.tray().SetHint(std::string(100, 't'));
  old.Tray(wm::MouseMove);
  lines = old.TakeLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Get("tip"), std::string(63, 't'));
  old.tray().SetHint("Zanto\r\nDid you know?\r\n\r\nend");
  EXPECT_EQ(old.tray().Hint(), "Zanto - Did you know? -  - end");
  old.tray().SetHint("a\r\r\nb\n\rc");
  EXPECT_EQ(old.tray().Hint(), "a\r - b\n\rc");

  // A hidden icon takes the new tip without telling the shell.
  modern.tray().RemoveIcon();
  modern.TakeLines();
  modern.tray().SetHint("quiet");
  modern.Tray(wm::MouseMove);
  EXPECT_TRUE(modern.Take().empty());
  modern.tray().AddIcon();
  EXPECT_EQ(modern.TakeLines()[0].Get("tip"), "quiet");
}

TEST(TrayIcon, BalloonsAreCutToTheShellsFieldsAndCountedUntilWithdrawn) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  int shown = 0;
  tray.OnBalloonShow = [&](TTrayIcon&) { ++shown; };

  tray.ShowBalloon(std::string(70, 'T'), std::string(300, 'x'), TBalloonType::btInfo, 10000, false);
  auto lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Get("msg"), "NIM_MODIFY");
  EXPECT_EQ(lines[0].Number("uFlags"), nif::Info);
  EXPECT_EQ(lines[0].Get("title"), std::string(63, 'T'));
  EXPECT_EQ(lines[0].Get("info"), std::string(255, 'x'));
  EXPECT_EQ(lines[0].Number("uTimeout"), 10000);
  EXPECT_EQ(lines[0].Number("dwInfoFlags"), niif::Info);
  EXPECT_EQ(tray.PendingBalloons(), 1);
  EXPECT_EQ(tray.BalloonLength(), 10u);

  tray.ShowBalloon("", "error", TBalloonType::btError, 4999, false);
  tray.ShowBalloon("warning", "", TBalloonType::btWarning, 20000, false);
  tray.ShowBalloon("none", "x", TBalloonType::btNone, 10000, false);
  lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Number("dwInfoFlags"), niif::Error);
  EXPECT_EQ(lines[1].Number("dwInfoFlags"), niif::Warning);
  EXPECT_EQ(lines[2].Number("dwInfoFlags"), niif::None);
  EXPECT_EQ(tray.PendingBalloons(), 4);
  EXPECT_EQ(tray.BalloonLength(), 10u);
  EXPECT_EQ(shown, 4);

  tray.HideBalloons();
  lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 5u) << "one empty balloon more than were pending";
  for (const auto& line : lines) {
    EXPECT_EQ(line.Number("uFlags"), nif::Info);
    EXPECT_EQ(line.Get("title"), "");
    EXPECT_EQ(line.Get("info"), "");
    EXPECT_EQ(line.Number("uTimeout"), 5000);
    EXPECT_EQ(line.Number("dwInfoFlags"), niif::None);
  }
  EXPECT_EQ(tray.PendingBalloons(), 0);

  tray.ShowBalloon("", "", TBalloonType::btInfo, 10000, false);
  EXPECT_EQ(h.TakeLines().size(), 1u);
  EXPECT_EQ(tray.PendingBalloons(), 0) << "never below nothing";

  tray.ShowBalloon("a", "b", TBalloonType::btInfo, 10000, false);
  tray.ShowBalloon("c", "d", TBalloonType::btInfo, 10000, false);
  h.TakeLines();
  tray.ShowBalloon("Did you know?", "e", TBalloonType::btInfo, 10000, true);
  lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 4u) << "three to withdraw two, then the new one";
  EXPECT_EQ(lines[2].Get("info"), "");
  EXPECT_EQ(lines[3].Get("info"), "e");
  EXPECT_EQ(tray.PendingBalloons(), 1);
  EXPECT_EQ(tray.BalloonLength(), 10u) << "the new balloon's length, not the empty ones'";

  // Shown or not, the balloon goes to the shell.
  tray.SetActive(false);
  h.TakeLines();
  tray.ShowBalloon("t", "x", TBalloonType::btInfo, 10000, false);
  EXPECT_EQ(h.Take(), (Ops{kBalloon}));

  Harness old(Shell(kShell471));
  old.TakeLines();
  int oldShown = 0;
  old.tray().OnBalloonShow = [&](TTrayIcon&) { ++oldShown; };
  old.tray().ShowBalloon("t", "x", TBalloonType::btInfo, 10000, true);
  old.tray().HideBalloons();
  EXPECT_TRUE(old.Take().empty()) << "no balloons before shell 5.0";
  EXPECT_EQ(old.tray().PendingBalloons(), 0);
  EXPECT_EQ(oldShown, 0);
}

TEST(TrayIcon, AShortBalloonIsWithdrawnByTheComponentsOwnTimer) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  tray.ShowBalloon("t", "ten seconds", TBalloonType::btInfo, 10000, false);
  tray.ShowBalloon("", "", TBalloonType::btInfo, 3000, false);
  EXPECT_EQ(h.sim.LiveTimers(), 0u) << "neither a long nor an empty balloon needs a timer";

  tray.ShowBalloon("t", "short", TBalloonType::btInfo, 3000, false);
  EXPECT_EQ(h.sim.LiveTimers(), 1u);
  h.sim.Wait(2000);
  tray.ShowBalloon("t", "another", TBalloonType::btInfo, 3000, false);  // starts it again
  h.TakeLines();
  h.sim.Wait(2999);
  EXPECT_TRUE(h.Take().empty());
  h.sim.Wait(1);
  EXPECT_EQ(h.Take(), (Ops{kBalloon, kBalloon, kBalloon}));
  EXPECT_EQ(tray.PendingBalloons(), 0);
  EXPECT_EQ(h.sim.LiveTimers(), 0u) << "it fires once";
}

TEST(TrayIcon, TheShellsBalloonReportsWithdrawOnlyWhenTheyShould) {
  Harness h;
  TTrayIcon& tray = h.tray();
  int clicks = 0, hides = 0;
  tray.OnBalloonClick = [&](TTrayIcon&) {
    ++clicks;
    throw Exception("balloon click failed");
  };
  tray.OnBalloonHide = [&](TTrayIcon&) {
    ++hides;
    throw Exception("balloon hide failed");
  };
  tray.ShowBalloon("Did you know?", "x", TBalloonType::btInfo, 10000, false);
  h.TakeLines();
  h.sim.Wait(5000);
  h.Tray(nin::BalloonTimeout);
  h.sim.Wait(5999);
  h.Tray(nin::BalloonTimeout);
  EXPECT_TRUE(h.Take().empty()) << "a report within the balloon's ten seconds is ignored";
  EXPECT_EQ(tray.PendingBalloons(), 1);
  h.sim.Wait(1);
  h.Tray(nin::BalloonTimeout);
  EXPECT_EQ(h.Take(), (Ops{kBalloon, kBalloon}));
  EXPECT_EQ(tray.PendingBalloons(), 0);

  h.Tray(nin::BalloonHide);
  EXPECT_EQ(hides, 1);
  EXPECT_TRUE(h.Take().empty()) << "the failure is swallowed and nothing is withdrawn";

  tray.ShowBalloon("Did you know?", "y", TBalloonType::btInfo, 10000, false);
  h.TakeLines();
  h.Tray(nin::BalloonUserClick);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(h.Take(), (Ops{kBalloon, kBalloon}))
      << "withdrawn despite the handler's failure, and no error box";
  EXPECT_EQ(tray.PendingBalloons(), 0);

  h.Tray(nin::BalloonShow);
  h.Tray(4242);
  EXPECT_TRUE(h.Take().empty());
}

TEST(TrayIcon, HidingAndShowingMoveTheTaskbarEntryAndTheMainWindow) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  tray.HideToTray();
  EXPECT_EQ(h.Take(), (Ops{"taskbar hide"})) << "already hidden: no second minimise";

  tray.ShowFromTray();
  EXPECT_EQ(h.Take(), kShowFirst);
  EXPECT_FALSE(tray.HiddenAtStart());
  EXPECT_TRUE(tray.Visibility().Has(tvVisibleTaskBar));
  EXPECT_TRUE(h.app->ShowMainForm);
  EXPECT_TRUE(h.sim.MainWindowVisible());
  EXPECT_TRUE(tray.ApplicationVisible());

  tray.ShowFromTray();
  EXPECT_EQ(h.Take(), (Ops{"taskbar show"})) << "nothing raised or shown twice";

  tray.HideToTray();
  EXPECT_EQ(h.Take(), kHideShown);
  EXPECT_FALSE(tray.Visibility().Has(tvVisibleTaskBar));
  EXPECT_FALSE(h.sim.MainWindowVisible());
  EXPECT_FALSE(tray.ApplicationVisible());
  EXPECT_TRUE(tray.IconShown());

  tray.ShowFromTray();
  EXPECT_EQ(h.Take(), (Ops{"taskbar show", "taskbar restore", "window show normal"}));

  tray.SetSnap(true);
  tray.HideToTray();
  EXPECT_EQ(h.Take(), (Ops{"window hide", "taskbar minimize", "taskbar hide"}));
  EXPECT_FALSE(h.form->Visible());
  EXPECT_FALSE(h.app->ShowMainForm);
}

TEST(TrayIcon, MinimisingTheApplicationWithdrawsItToTheTray) {
  Harness h;
  TTrayIcon& tray = h.tray();
  tray.ShowFromTray();
  h.TakeLines();
  h.app->Perform(wm::SysCommand, sc::Minimize, 0);
  EXPECT_EQ(h.Take(), kHideShown);
  EXPECT_FALSE(tray.Visibility().Has(tvVisibleTaskBar));

  tray.ShowFromTray();
  h.TakeLines();
  h.sim.MinimizeMainWindow();  // the main window passes its minimise on
  EXPECT_EQ(h.Take(), kHideShown);

  tray.ShowFromTray();
  h.TakeLines();
  h.app->Perform(wm::SysCommand, sc::Minimize | 2, 0);
  EXPECT_EQ(h.Take(), (Ops{"taskbar minimize", "window hide"}))
      << "only the exact minimise command is watched";
  EXPECT_TRUE(tray.Visibility().Has(tvVisibleTaskBar));

  tray.ShowFromTray();
  tray.SetVisibility(tray.Visibility().Without(tvAutoHide));
  h.TakeLines();
  h.app->Perform(wm::SysCommand, sc::Minimize, 0);
  EXPECT_EQ(h.Take(), (Ops{"taskbar minimize", "window hide"}));

  tray.ShowFromTray();
  tray.SetVisibility(tray.Visibility().With(tvAutoHide));
  tray.SetActive(false);
  h.TakeLines();
  h.app->Perform(wm::SysCommand, sc::Minimize, 0);
  EXPECT_EQ(h.Take(), (Ops{"taskbar minimize", "window hide"}))
      << "an inactive icon watches nothing";
}

TEST(TrayIcon, ChangingTheVisibilityActsOnWhatWasAddedOrRemoved) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  const TTrayVisibilities start{tvVisibleTaskList, tvAutoHide};
  tray.SetVisibility(start);
  EXPECT_TRUE(h.Take().empty());

  tray.SetVisibility({tvAutoHide});
  EXPECT_EQ(h.Take(), (Ops{"tasklist false"}));
  EXPECT_FALSE(tray.TaskListed());
  tray.SetVisibility({tvAutoHide, tvRestoreClick});
  EXPECT_TRUE(h.Take().empty()) << "the task list is asked only for a new state";
  tray.SetVisibility(start);
  EXPECT_EQ(h.Take(), (Ops{"tasklist true"}));

  tray.SetVisibility(start.With(tvVisibleTaskBar));
  EXPECT_EQ(h.Take(), kShowFirst);
  tray.SetVisibility(start);
  EXPECT_EQ(h.Take(), kHideShown);

  tray.SetVisibility({tvVisibleTaskList});
  EXPECT_TRUE(h.Take().empty());
  tray.SetVisibility(start);
  EXPECT_EQ(h.Take(), (Ops{"taskbar hide"})) << "auto-hide added while hidden hides again";

  // The icon only while hidden.
  tray.ShowFromTray();
  h.TakeLines();
  tray.SetVisibility(tray.Visibility().With(tvAutoHideIcon));
  EXPECT_EQ(h.Take(), (Ops{kDelete}));
  EXPECT_FALSE(tray.IconShown());
  tray.HideToTray();
  EXPECT_EQ(h.Take(), (Ops{"taskbar minimize", "window hide", "taskbar hide", kAdd, kSetVersion}));
  tray.ShowFromTray();
  EXPECT_EQ(h.Take(), (Ops{"taskbar show", "taskbar restore", "window show normal", kDelete}));
  tray.AddIcon();
  EXPECT_TRUE(h.Take().empty()) << "not while the application is visible";
  tray.SetVisibility(tray.Visibility().Without(tvAutoHideIcon));
  EXPECT_EQ(h.Take(), (Ops{kAdd, kSetVersion}));

  tray.SetActive(false);
  EXPECT_EQ(h.Take(), (Ops{kDelete}));
  tray.SetVisibility({});
  EXPECT_TRUE(h.Take().empty()) << "inactive: only stored";
  EXPECT_EQ(tray.Visibility(), TTrayVisibilities{});
}

TEST(TrayIcon, TheMenuOpensOnceOnTheContextRequestOrTheOldShellsRightButton) {
  Harness h;
  h.TakeLines();
  h.sim.SetCursor({640, 480});
  h.RightClick();
  EXPECT_TRUE(h.Take().empty()) << "shell 5.0 and later: not from the button";
  h.Tray(wm::ContextMenu);
  auto lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].Number("x"), 640);
  EXPECT_EQ(lines[1].Number("y"), 480);
  EXPECT_EQ(lines[1].Get("items"), R"(["&First","-","&Second"])");

  h.Tray(nin::KeySelect);
  Ops keyboardPopup = kPopup;
  keyboardPopup.push_back(Request("NIM_SETFOCUS", 0));
  EXPECT_EQ(h.Take(), keyboardPopup) << "the keyboard goes back to the notification area";

  h.sim.SetMenuAnswer("Second");
  h.Tray(wm::ContextMenu);
  EXPECT_EQ(h.form->clicked, (std::vector<std::string>{"Second"}));
  h.TakeLines();

  bool handle = true;
  platform::Point seen;
  h.tray().OnContextPopup = [&](TTrayIcon&, platform::Point at, bool& handled) {
    seen = at;
    handled = handle;
  };
  h.Tray(wm::ContextMenu);
  EXPECT_TRUE(h.Take().empty());
  EXPECT_EQ(seen, (platform::Point{640, 480}));
  handle = false;
  h.Tray(wm::ContextMenu);
  EXPECT_EQ(h.Take(), kPopup);

  h.tray().SetPopupMenu(nullptr);
  h.Tray(wm::ContextMenu);
  EXPECT_TRUE(h.Take().empty()) << "no menu, nothing to pop up";

  h.tray().SetPopupMenu(&h.form->Menu);
  h.form->DestroyComponent(h.form->Menu);
  EXPECT_EQ(h.tray().PopupMenu(), nullptr) << "a destroyed menu is forgotten";
  h.Tray(wm::ContextMenu);
  EXPECT_TRUE(h.Take().empty());

  Harness old(Shell(kShell471));
  old.TakeLines();
  old.RightClick();
  EXPECT_EQ(old.Take(), kPopup);
  old.Tray(wm::RButtonUp);
  EXPECT_EQ(old.Take(), kPopup) << "the release alone opens it";
}

TEST(TrayIcon, AClickWaitsForTheDoubleClickTimeAndOnlyWhenSomethingWantsIt) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  h.LeftClick();
  h.RightClick();
  EXPECT_EQ(h.sim.LiveTimers(), 0u) << "nothing wants a click in this program";
  EXPECT_FALSE(tray.ClickPending());

  struct Click {
    TMouseButton button;
    TShiftState shift;
    int x, y;
    std::uint64_t at;
  };
  std::vector<Click> clicks;
  tray.OnClick = [&](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
    clicks.push_back({b, s, x, y, h.sim.Now()});
  };
  h.sim.SetCursor({5, 7});
  const std::uint64_t start = h.sim.Now();
  h.Tray(wm::LButtonDown);
  h.Tray(wm::LButtonUp, SimDesktop::kShift);
  EXPECT_TRUE(tray.ClickPending());
  EXPECT_EQ(h.sim.LiveTimers(), 1u);
  h.sim.Wait(499);
  EXPECT_TRUE(clicks.empty());
  h.sim.Wait(1);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].button, TMouseButton::mbLeft);
  EXPECT_EQ(clicks[0].shift, TShiftState{ssShift});
  EXPECT_EQ(clicks[0].x, 5);
  EXPECT_EQ(clicks[0].y, 7);
  EXPECT_EQ(clicks[0].at, start + 500);
  EXPECT_EQ(h.sim.LiveTimers(), 0u);

  // A double click in time drops the click; the button-up after it starts none.
  h.LeftClick();
  h.Tray(wm::LButtonDblClk);
  h.Tray(wm::LButtonUp);
  EXPECT_FALSE(tray.ClickPending());
  h.sim.Wait(1000);
  EXPECT_EQ(clicks.size(), 1u);

  h.RightClick();
  h.sim.Wait(500);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[1].button, TMouseButton::mbRight);
  h.Tray(wm::MButtonUp);  // a release without a press
  h.sim.Wait(1000);
  EXPECT_EQ(clicks.size(), 2u);
  EXPECT_TRUE(h.Take().empty());

  // Without OnClick, a drop-down menu or the click options want the left click.
  tray.OnClick = nullptr;
  tray.SetDropDownMenu(&h.form->DropDown);
  h.RightClick();
  EXPECT_EQ(h.sim.LiveTimers(), 0u);
  h.sim.SetMenuAnswer("Third");
  h.LeftClick();
  h.sim.Wait(500);
  EXPECT_EQ(h.Take(), (Ops{"foreground TTrayIconWindow", "popup DropDown", "post WM_NULL"}));
  EXPECT_EQ(h.form->clicked, (std::vector<std::string>{"Third"}));
  h.form->DestroyComponent(h.form->DropDown);
  EXPECT_EQ(tray.DropDownMenu(), nullptr);

  tray.SetVisibility(tray.Visibility().With(tvRestoreClick).With(tvMinimizeClick));
  h.LeftClick();
  h.sim.Wait(500);
  EXPECT_EQ(h.Take(), kShowFirst);
  h.LeftClick();
  h.sim.Wait(500);
  EXPECT_EQ(h.Take(), kHideShown);
}

TEST(TrayIcon, ADoubleClickRunsTheFirstDefaultItemOnly) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  h.Tray(wm::LButtonDblClk);
  EXPECT_TRUE(h.form->clicked.empty()) << "no item is the default";

  h.form->Second.SetDefault(true);
  h.form->N1.SetDefault(false);
  h.form->Third.SetDefault(true);
  h.Tray(wm::LButtonDblClk);
  h.Tray(wm::RButtonDblClk);
  h.Tray(wm::MButtonDblClk);
  EXPECT_EQ(h.form->clicked, (std::vector<std::string>{"Second"}));
  h.form->First.SetDefault(true);
  h.Tray(wm::LButtonDblClk);
  EXPECT_EQ(h.form->clicked, (std::vector<std::string>{"Second", "First"}));

  int doubles = 0;
  tray.OnDblClick = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { ++doubles; };
  h.Tray(wm::LButtonDblClk);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(h.form->clicked.size(), 2u) << "an attached handler replaces the default item";
  tray.OnDblClick = nullptr;
  h.form->First.SetDefault(false);
  h.form->Second.SetDefault(false);

  tray.SetVisibility(tray.Visibility().With(tvRestoreDbClick).With(tvMinimizeDbClick));
  h.TakeLines();
  h.Tray(wm::RButtonDblClk);
  EXPECT_TRUE(h.Take().empty());
  h.Tray(wm::LButtonDblClk);
  EXPECT_EQ(h.Take(), kShowFirst);
  h.Tray(wm::LButtonDblClk);
  EXPECT_EQ(h.Take(), kHideShown);
}

TEST(TrayIcon, MouseEventsCarryTheKeysAndTheirFailuresGoToTheErrorBox) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  std::vector<std::tuple<std::string, TMouseButton, TShiftState>> seen;
  auto record = [&](std::string what) {
    return [&seen, what](TTrayIcon&, TMouseButton b, TShiftState s, int, int) {
      seen.emplace_back(what, b, s);
    };
  };
  tray.OnMouseDown = record("down");
  tray.OnMouseUp = record("up");
  TShiftState moved = 0;
  tray.OnMouseMove = [&](TTrayIcon&, TShiftState s, int, int) { moved = s; };

  h.Tray(wm::LButtonDown, SimDesktop::kShift | SimDesktop::kCtrl);
  h.Tray(wm::LButtonUp, SimDesktop::kAlt);
  h.Tray(wm::MButtonDown);
  h.Tray(wm::RButtonDown);
  h.Tray(wm::MouseMove, SimDesktop::kShift);
  using B = TMouseButton;
  EXPECT_EQ(seen, (std::vector<std::tuple<std::string, TMouseButton, TShiftState>>{
                      {"down", B::mbLeft, ssShift | ssCtrl | ssLeft},
                      {"up", B::mbLeft, ssAlt},
                      {"down", B::mbMiddle, ssMiddle},
                      {"down", B::mbRight, ssMiddle | ssRight},
                  }));
  EXPECT_EQ(moved, ssShift | ssMiddle | ssRight);
  h.Tray(wm::MButtonUp);
  h.Tray(wm::RButtonUp);

  tray.OnMouseDown = [](TTrayIcon&, TMouseButton, TShiftState, int, int) {
    throw Exception("The mouse slipped");
  };
  h.Tray(wm::LButtonDown);
  EXPECT_EQ(h.Take(), (Ops{"errorbox Zanto: The mouse slipped."}));

  // A failure ends the message: the old shell's menu on the release does not come.
  Harness old(Shell(kShell471));
  old.TakeLines();
  old.tray().OnMouseUp = [](TTrayIcon&, TMouseButton, TShiftState, int, int) {
    throw Exception("List index out of bounds (9)");
  };
  old.RightClick();
  EXPECT_EQ(old.Take(), (Ops{"errorbox Zanto: List index out of bounds (9)"}));
}

TEST(TrayIcon, TheShellsRestartAndTheSessionsEndLookAfterTheIcon) {
  Harness h;
  h.TakeLines();
  h.sim.TaskbarCreated();
  EXPECT_EQ(h.Take(), (Ops{kDelete, kAdd, kSetVersion}));
  EXPECT_TRUE(h.sim.IconPresent());

  h.sim.QueryEndSession();
  const test::TraceLines answers = h.TakeLines();
  ASSERT_EQ(answers.size(), 3u) << "the tray window, the form and the taskbar window answer";
  for (const TraceLine& line : answers) {
    EXPECT_TRUE(line.Is("endsession")) << line.text;
    EXPECT_EQ(line.Number("answer"), 1) << line.text;
  }
  EXPECT_TRUE(h.tray().IconShown());

  // A session end that was called off leaves the icon where it is.
  h.sim.postMessage(h.tray().Handle(), wm::EndSession, 0, 0);
  h.Tray(4242);  // anything that lets the posted message through
  EXPECT_EQ(h.Take(), (Ops{"post " + std::to_string(wm::EndSession)}));
  EXPECT_TRUE(h.tray().IconShown());

  h.sim.EndSession();
  EXPECT_EQ(h.Take(), (Ops{kDelete}));
  EXPECT_FALSE(h.tray().IconShown());
  EXPECT_FALSE(h.sim.IconPresent());
  h.sim.TaskbarCreated();
  EXPECT_TRUE(h.Take().empty()) << "a removed icon is not brought back";

  Harness idle;
  idle.tray().SetActive(false);
  idle.TakeLines();
  idle.sim.TaskbarCreated();
  EXPECT_TRUE(idle.Take().empty());
  EXPECT_FALSE(idle.sim.IconPresent());
  idle.tray().SetActive(true);
  EXPECT_EQ(idle.Take(), (Ops{kAdd, kSetVersion}));

  // Going with its window, the icon stops its timers and leaves the tray.
  idle.tray().OnClick = [](TTrayIcon&, TMouseButton, TShiftState, int, int) {};
  idle.LeftClick();
  idle.tray().ShowBalloon("t", "x", TBalloonType::btInfo, 3000, false);
  idle.TakeLines();
  idle.app.reset();
  EXPECT_EQ(idle.Take(), (Ops{kDelete}));
  EXPECT_FALSE(idle.sim.IconPresent());
  EXPECT_EQ(idle.sim.LiveTimers(), 0u);
}

TEST(TrayIcon, AnimationCyclesThroughTheImageList) {
  Harness h;
  h.TakeLines();
  TTrayIcon& tray = h.tray();
  std::vector<int> frames;
  tray.OnAnimate = [&](TTrayIcon&, int index) { frames.push_back(index); };
  tray.SetIcons(&h.form->Images);
  EXPECT_EQ(tray.IconInUse(), static_cast<IconId>(10));
  EXPECT_EQ(h.Take(), (Ops{kNewIcon}));

  tray.SetAnimated(true);
  EXPECT_TRUE(tray.AnimationRunning());
  h.sim.Wait(99);
  EXPECT_TRUE(frames.empty());
  h.sim.Wait(301);
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(tray.IconIndex(), 1);
  EXPECT_EQ(tray.IconInUse(), static_cast<IconId>(11));
  EXPECT_EQ(h.Take(), (Ops(4, kNewIcon)));

  tray.SetIconIndex(-1);
  EXPECT_EQ(tray.IconInUse(), IconId::Program) << "out of the list: the icon of its own";
  frames.clear();
  tray.SetDelay(250);
  h.sim.Wait(249);
  EXPECT_TRUE(frames.empty()) << "a new delay starts from now";
  h.sim.Wait(1);
  EXPECT_EQ(frames, (std::vector<int>{0}));

  tray.RemoveIcon();
  EXPECT_FALSE(tray.AnimationRunning());
  EXPECT_EQ(h.sim.LiveTimers(), 0u);
  tray.AddIcon();
  EXPECT_TRUE(tray.AnimationRunning());
  tray.SetAnimated(false);
  EXPECT_EQ(h.sim.LiveTimers(), 0u);
  h.sim.Wait(1000);
  EXPECT_EQ(frames.size(), 1u);

  h.TakeLines();
  h.form->DestroyComponent(h.form->Images);
  EXPECT_EQ(tray.Icons(), nullptr);
  EXPECT_EQ(tray.IconInUse(), IconId::Program);
  EXPECT_EQ(h.Take(), (Ops{kNewIcon}));
  tray.SetIcon(IconId::None);
  EXPECT_EQ(tray.IconInUse(), IconId::Application) << "the application's icon stands in";
}

TEST(TrayIcon, AnUnreadableShellVersionIsReadAgainUntilItCanBeRead) {
  Harness h(Shell(std::nullopt));
  TTrayIcon& tray = h.tray();
  auto lines = h.TakeLines();
  EXPECT_EQ(lines[0].Number("cbSize"), NotifyIconData::kShortSize);
  EXPECT_EQ(lines.size(), 2u) << "no version request";

  const int reads = h.shell.reads;
  EXPECT_EQ(tray.ShellVersion(), 0u);
  EXPECT_EQ(tray.ShellVersion(), 0u);
  EXPECT_EQ(h.shell.reads, reads + 2) << "a failed read is tried again";
  tray.ShowBalloon("t", "x", TBalloonType::btInfo, 10000, false);
  EXPECT_TRUE(h.Take().empty());

  h.shell.version = kShell60;
  tray.ShowBalloon("t", "x", TBalloonType::btInfo, 10000, false);
  EXPECT_EQ(h.Take(), (Ops{kBalloon}));
  EXPECT_EQ(tray.PendingBalloons(), 1);
  const int good = h.shell.reads;
  h.shell.version = kShell471;
  EXPECT_EQ(tray.ShellVersion(), kShell60);
  EXPECT_EQ(h.shell.reads, good) << "a good read is kept";

  tray.SetActive(false);
  tray.SetActive(true);
  lines = h.TakeLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].Get("msg"), "NIM_ADD");
  EXPECT_EQ(lines[1].Number("cbSize"), NotifyIconData::kLongSize)
      << "the record is made anew on activation";
  EXPECT_EQ(lines[2].Get("msg"), "NIM_SETVERSION");
}

}  // namespace
}  // namespace zanto

namespace zanto {
namespace {

TEST(TrayIcon, AMenuOwnedElsewhereIsForgottenWhenItGoes) {
  Harness h;
  TComponent& holder = h.form->Create<TComponent>("Holder");
  TPopupMenu& menu = holder.Create<TPopupMenu>("Elsewhere");
  h.tray().SetPopupMenu(&menu);
  h.form->DestroyComponent(holder);
  EXPECT_EQ(h.tray().PopupMenu(), nullptr);
  h.Take();
  h.Tray(wm::ContextMenu);
  EXPECT_TRUE(h.Take().empty()) << "no menu left to pop up";
}

}  // namespace
}  // namespace zanto

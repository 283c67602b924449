// The window toolkit under the program: string lists, the error box text, the random source,
// timers, component ownership, menus, the application's guard and the anchor layout.
#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "platform/sim/sim_desktop.h"
#include "support/bare_window.h"
#include "support/failure_of.h"
#include "support/trace_reader.h"
#include "toolkit/application.h"
#include "toolkit/component.h"
#include "toolkit/layout.h"
#include "toolkit/menu.h"
#include "toolkit/random_source.h"
#include "toolkit/string_list.h"
#include "toolkit/timer.h"

namespace zanto {
namespace {

using platform::ControlDef;
using platform::ControlKind;
using platform::FormDef;
using platform::Rect;
using test::FailureOf;

// Components that belong to the application without a window in between.
class Root : public TComponent {
 public:
  explicit Root(TApplication& app) : TComponent(nullptr, "Root"), app_(app) {}
  // Owned timers still need the application while they go.
  ~Root() override { DestroyComponents(); }
  TApplication& Application() const override { return app_; }

 private:
  TApplication& app_;
};

// An application over a simulated desktop whose trace the test reads back.
struct Desk {
  explicit Desk(sim::SimOptions options = {})
      : desktop(std::move(options), trace.Sink()), app(desktop), root(app) {
    app.Initialize();
    app.SetTitle("Zanto");
  }
  test::TraceLines Lines(const std::string& op) const { return test::OpsOf(trace.Lines(), op); }

  test::TraceRecorder trace;
  sim::SimDesktop desktop;
  TApplication app;
  Root root;
};

TEST(StringList, EveryBadIndexIsAListErrorNamingTheIndex) {
  TStringList list;
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_EQ(list.Add("b"), 1);
  EXPECT_EQ(list.Add("a"), 2);  // duplicates are kept, nothing is sorted
  list.Put(1, "c");
  list.Exchange(0, 1);
  EXPECT_EQ(list.Get(0), "c");
  EXPECT_EQ(list.Get(1), "a");
  list.Delete(0);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), "a");
  EXPECT_EQ(list.Get(1), "a");

  EXPECT_EQ(FailureOf<EListError>([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(FailureOf<EListError>([&] { list.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(FailureOf<EListError>([&] { list.Put(7, "x"); }), "List index out of bounds (7)");
  EXPECT_EQ(FailureOf<EListError>([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(FailureOf<EListError>([&] { list.Exchange(0, 5); }), "List index out of bounds (5)");
  EXPECT_EQ(FailureOf<EListError>([&] { list.Exchange(-3, 0); }), "List index out of bounds (-3)");
  EXPECT_EQ(list.Count(), 2) << "a failed call changes nothing";
  list.Clear();
  EXPECT_EQ(FailureOf<EListError>([&] { list.Get(0); }), "List index out of bounds (0)");
}

TEST(ErrorBox, AFullStopIsAddedOnlyAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorBoxText("Cannot open file x"), "Cannot open file x.");
  EXPECT_EQ(ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ErrorBoxText("Oops!"), "Oops!");
  EXPECT_EQ(ErrorBoxText("List index out of bounds (3)"), "List index out of bounds (3)");
  EXPECT_EQ(ErrorBoxText(""), "");
  EXPECT_EQ(ErrorBoxText("dash-"), "dash-");    // '-' lies just below '.'
  EXPECT_EQ(ErrorBoxText("comma,"), "comma,");  // so does ','
  EXPECT_EQ(ErrorBoxText("space "), "space ");
  EXPECT_EQ(ErrorBoxText("path/"), "path/.");  // '/' lies just above
  EXPECT_EQ(ErrorBoxText("count 0"), "count 0.");
  // An 8-bit character of the code page counts by its unsigned code.
  EXPECT_EQ(ErrorBoxText("caf\xE9"), "caf\xE9.");
}

TEST(Random, DrawsFollowTheLinearCongruentialRuleBitForBit) {
  // The rule written out on 64 bits: the state wraps at 2^32, the draw is the upper half.
  auto reference = [](std::uint32_t seed, const std::vector<std::uint32_t>& limits) {
    std::uint64_t state = seed;
    std::vector<std::uint32_t> draws;
    for (std::uint64_t n : limits) {
      state = (state * 134775813ull + 1ull) % 4294967296ull;
      draws.push_back(static_cast<std::uint32_t>((state * n) / 4294967296ull));
    }
    return draws;
  };
  auto draw = [](std::uint32_t seed, const std::vector<std::uint32_t>& limits) {
    TRandomSource random;
    random.Seed(seed);
    std::vector<std::uint32_t> draws;
    for (std::uint32_t n : limits) draws.push_back(random.Below(n));
    return draws;
  };

  const std::vector<std::uint32_t> fromZero{100, 100, 100, 1000, 86'400'000};
  EXPECT_EQ(draw(0, fromZero), (std::vector<std::uint32_t>{0, 3, 86, 202, 23'580'397}));
  EXPECT_EQ(draw(0, fromZero), reference(0, fromZero));

  const std::vector<std::uint32_t> fromNoon{100, 10, 86'400'000, 4'294'967'295u, 7};
  EXPECT_EQ(draw(45'296'789, fromNoon),
            (std::vector<std::uint32_t>{48, 2, 30'676'311, 102'383'712, 4}));
  EXPECT_EQ(draw(45'296'789, fromNoon), reference(45'296'789, fromNoon));

  TRandomSource random;
  random.Seed(0);
  EXPECT_EQ(random.Below(0), 0u);
  EXPECT_EQ(random.State(), 1u) << "a draw below 0 still advances the state";
  random.Seed(45'296'789);
  random.Below(1);
  EXPECT_EQ(random.State(), 2'099'557'098u);
}

TEST(Timer, TicksOnlyWhenEnabledWithAnIntervalAndAHandler) {
  Desk desk;
  int ticks = 0;
  TTimer& timer = desk.root.Create<TTimer>("Timer");
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.Running()) << "no handler yet";
  desk.desktop.Wait(5000);
  EXPECT_EQ(desk.desktop.TimerTicks(), 0u);

  timer.SetOnTimer([&](TTimer&) { ++ticks; });
  EXPECT_TRUE(timer.Running());
  desk.desktop.Wait(999);
  EXPECT_EQ(ticks, 0);
  desk.desktop.Wait(1);
  EXPECT_EQ(ticks, 1);
  desk.desktop.Wait(2000);
  EXPECT_EQ(ticks, 3) << "the timer repeats";

  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(desk.desktop.LiveTimers(), 0u);
  desk.desktop.Wait(5000);
  EXPECT_EQ(ticks, 3);

  timer.SetInterval(1000);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
  desk.desktop.Wait(5000);
  EXPECT_EQ(ticks, 3);

  timer.SetEnabled(true);
  desk.desktop.Wait(1000);
  EXPECT_EQ(ticks, 4);
  timer.SetOnTimer(nullptr);
  EXPECT_FALSE(timer.Running());
  desk.desktop.Wait(5000);
  EXPECT_EQ(ticks, 4);

  timer.SetOnTimer([&](TTimer&) { ++ticks; });
  desk.root.DestroyComponent(timer);
  EXPECT_EQ(desk.desktop.LiveTimers(), 0u) << "a destroyed timer is stopped";
}

TEST(Timer, OnlyADifferentValueRestartsTheCountdown) {
  Desk desk;
  std::vector<std::uint64_t> ticks;
  TTimer& timer = desk.root.Create<TTimer>("Timer");
  timer.SetOnTimer([&](TTimer&) { ticks.push_back(desk.desktop.Now()); });

  desk.desktop.Wait(600);
  timer.SetInterval(1000);  // the same value: the countdown goes on
  timer.SetEnabled(true);   // likewise
  desk.desktop.Wait(400);
  EXPECT_EQ(ticks, (std::vector<std::uint64_t>{1000}));

  desk.desktop.Wait(600);  // now 1600, 400 before the next tick
  timer.SetInterval(500);  // a new countdown from now
  desk.desktop.Wait(499);
  EXPECT_EQ(ticks.size(), 1u);
  desk.desktop.Wait(1);
  EXPECT_EQ(ticks.back(), 2100u);

  desk.desktop.Wait(200);
  timer.SetOnTimer([&](TTimer&) { ticks.push_back(desk.desktop.Now()); });  // restarts too
  desk.desktop.Wait(500);
  EXPECT_EQ(ticks, (std::vector<std::uint64_t>{1000, 2100, 2800}));

  // A handler that sets a new interval decides when the next tick comes.
  timer.SetOnTimer([&](TTimer& t) {
    ticks.push_back(desk.desktop.Now());
    t.SetInterval(t.Interval() * 2);
  });
  ticks.clear();
  desk.desktop.Wait(3499);
  EXPECT_EQ(ticks, (std::vector<std::uint64_t>{3300, 4300}));
}

TEST(Timer, WithNoTimerLeftEveryRestartFailsUntilOneIsFree) {
  sim::SimOptions options;
  options.timerLimit = 0;
  Desk none(options);
  int ticks = 0;
  TTimer& timer = none.root.Create<TTimer>("Timer");
  timer.SetEnabled(false);
  timer.SetOnTimer([&](TTimer&) { ++ticks; });  // disabled: nothing to start yet
  EXPECT_EQ(FailureOf<EOutOfResources>([&] { timer.SetEnabled(true); }),
            "Not enough timers available");
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(FailureOf<EOutOfResources>([&] { timer.SetInterval(500); }),
            "Not enough timers available")
      << "a later change tries again";
  none.desktop.Wait(5000);
  EXPECT_EQ(ticks, 0);

  options.timerLimit = 1;
  Desk one(options);
  TTimer& first = one.root.Create<TTimer>("First");
  first.SetOnTimer([](TTimer&) {});
  TTimer& second = one.root.Create<TTimer>("Second");
  EXPECT_EQ(FailureOf<EOutOfResources>([&] { second.SetOnTimer([&](TTimer&) { ++ticks; }); }),
            "Not enough timers available");
  first.SetEnabled(false);
  EXPECT_EQ(FailureOf<EOutOfResources>([&] { second.SetInterval(300); }), "");
  EXPECT_TRUE(second.Running());
  one.desktop.Wait(300);
  EXPECT_EQ(ticks, 1);
}

TEST(Timer, AFailingTickGoesToTheErrorBoxAndTheTimerRunsOn) {
  Desk desk;
  int ticks = 0;
  TTimer& timer = desk.root.Create<TTimer>("Timer");
  timer.SetOnTimer([&](TTimer&) {
    ++ticks;
    throw EListError("List index out of bounds (0)");
  });
  desk.desktop.Wait(2000);
  EXPECT_EQ(ticks, 2);
  const auto boxes = desk.Lines("errorbox");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Get("caption"), "Zanto");
  EXPECT_EQ(boxes[0].Get("text"), "List index out of bounds (0)");
}

// Writes down what it hears and when it goes.
class Recorder : public TComponent {
 public:
  Recorder(TComponent* owner, std::string name, std::vector<std::string>& log)
      : TComponent(owner, std::move(name)), log_(log) {}
  ~Recorder() override { log_.push_back("~" + Name()); }

 protected:
  void Notification(TComponent& component, TOperation operation) override {
    log_.push_back(Name() + (operation == TOperation::opRemove ? " -" : " +") + component.Name());
  }

 private:
  std::vector<std::string>& log_;
};

TEST(Components, OwnedComponentsGoLastFirstAndEverySiblingHearsOfIt) {
  std::vector<std::string> log;
  auto owner = std::make_unique<Recorder>(nullptr, "Owner", log);
  owner->Create<Recorder>("A", log);
  TComponent& b = owner->Create<Recorder>("B", log);
  owner->Create<Recorder>("C", log);
  owner->Create<Recorder>("D", log);
  EXPECT_EQ(log, (std::vector<std::string>{"Owner +A", "Owner +B", "Owner +C", "Owner +D"}));
  EXPECT_EQ(owner->FindComponent("C")->Name(), "C");

  log.clear();
  owner->DestroyComponent(b);
  EXPECT_EQ(log, (std::vector<std::string>{"Owner -B", "A -B", "C -B", "D -B", "~B"}));
  EXPECT_EQ(owner->ComponentCount(), 3u);
  EXPECT_EQ(owner->FindComponent("B"), nullptr);

  // Destroying the owner frees the rest last first, each after the others have heard of it.
  log.clear();
  auto root = std::make_unique<TComponent>(nullptr, "Root");
  root->Create<Recorder>("X", log);
  root->Create<Recorder>("Y", log);
  root->Create<Recorder>("Z", log);
  root.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"X -Z", "Y -Z", "~Z", "X -Y", "~Y", "~X"}));
}

TEST(Components, AMenuForgetsADestroyedItemAndItsCommand) {
  TComponent owner(nullptr, "Form");
  std::vector<std::string> clicked;
  auto& menu = owner.Create<TPopupMenu>("Menu");
  auto& more = owner.Create<TMenuItem>("More", "&More");
  auto& line = owner.Create<TMenuItem>("N1", "-");
  auto& exit = owner.Create<TMenuItem>("Exit", "E&xit");
  for (TMenuItem* item : {&more, &line, &exit}) {
    menu.Add(*item);
    item->SetOnClick([&](TMenuItem& i) { clicked.push_back(i.Name()); });
  }
  EXPECT_TRUE(line.IsLine());
  EXPECT_FALSE(more.IsLine());
  const int moreCommand = more.Command();
  const int exitCommand = exit.Command();
  EXPECT_NE(moreCommand, 0);
  EXPECT_NE(moreCommand, exitCommand);

  EXPECT_TRUE(menu.DispatchCommand(exitCommand));
  EXPECT_FALSE(menu.DispatchCommand(0)) << "0: the menu closed without a choice";
  EXPECT_EQ(clicked, (std::vector<std::string>{"Exit"}));

  owner.DestroyComponent(exit);
  ASSERT_EQ(menu.Items().size(), 2u);
  EXPECT_EQ(menu.Items()[0], &more);
  EXPECT_EQ(menu.Items()[1], &line);
  EXPECT_FALSE(menu.DispatchCommand(exitCommand));
  EXPECT_TRUE(menu.DispatchCommand(moreCommand));
  EXPECT_EQ(clicked, (std::vector<std::string>{"Exit", "More"}));
}

TEST(Application, TheGuardReportsAFailureAndCarriesOn) {
  Desk desk;
  EXPECT_TRUE(desk.app.Guard([] {}));
  EXPECT_FALSE(desk.app.Guard([] { throw EFOpenError("Cannot open file /x/quotes.txt"); }));
  EXPECT_FALSE(desk.app.Guard([] { throw EAbort(); }));
  EXPECT_FALSE(desk.app.Guard([] { throw std::runtime_error("Stop!"); }));
  EXPECT_FALSE(desk.app.Guard([] { throw std::bad_alloc(); }));
  EXPECT_FALSE(desk.app.Guard([] { throw 42; }));
  int ran = 0;
  EXPECT_TRUE(desk.app.Guard([&] { ++ran; }));
  EXPECT_EQ(ran, 1);

  const auto boxes = desk.Lines("errorbox");
  ASSERT_EQ(boxes.size(), 4u) << "the silent abort shows nothing";
  for (const auto& box : boxes) EXPECT_EQ(box.Get("caption"), "Zanto");
  EXPECT_EQ(boxes[0].Get("text"), "Cannot open file /x/quotes.txt.");
  EXPECT_EQ(boxes[1].Get("text"), "Stop!");
  EXPECT_EQ(boxes[2].Get("text"), "Out of memory.");
  EXPECT_EQ(boxes[3].Get("text"), "Unknown failure.");
}

// A window of 200 x 100 with one control of every kind the layout treats differently.
FormDef LayoutForm() {
  FormDef def = test::BareWindow("frmLayout");
  auto add = [&](std::string name, ControlKind kind, int parent, Rect bounds, unsigned anchors) {
    ControlDef c;
    c.name = std::move(name);
    c.kind = kind;
    c.parent = parent;
    c.bounds = bounds;
    c.anchors = anchors;
    def.controls.push_back(c);
  };
  using namespace platform;
  add("Ok", ControlKind::Button, -1, {120, 70, 75, 25}, akRight | akBottom);
  add("Line", ControlKind::Bevel, -1, {8, 60, 184, 5}, akLeft | akRight | akBottom);
  add("Pages", ControlKind::PageControl, -1, {8, 8, 184, 50}, akLeft | akTop | akRight | akBottom);
  add("Sheet", ControlKind::TabSheet, 2, {4, 24, 176, 22}, akLeft | akTop | akRight | akBottom);
  def.controls[3].borderWidth = 4;
  add("List", ControlKind::ListView, 3, {4, 4, 168, 14}, akLeft | akTop);
  def.controls[4].alignClient = true;
  add("Motto", ControlKind::Label, 3, {100, 2, 70, 13}, akTop | akRight);
  add("Text", ControlKind::Label, 3, {8, 4, 160, 13}, akLeft | akTop | akRight);
  def.controls[6].caption = "Direct all bugreports and complaints to me";
  def.controls[6].wordWrap = true;
  def.controls[6].autoSize = true;
  return def;
}

TEST(Layout, AnchorsKeepDistancesAndWrappedLabelsGrowWhenNarrower) {
  const FormDef def = LayoutForm();
  const auto design = layout::Arrange(def, 200, 100);
  for (int i : {0, 1, 2, 3, 4, 5})
    EXPECT_EQ(design[static_cast<std::size_t>(i)], def.controls[static_cast<std::size_t>(i)].bounds)
        << def.controls[static_cast<std::size_t>(i)].name << " moves at design size";

  const auto wide = layout::Arrange(def, 300, 150);
  EXPECT_EQ(wide[0], (Rect{220, 120, 75, 25})) << "right and bottom: moves with the corner";
  EXPECT_EQ(wide[1], (Rect{8, 110, 284, 5})) << "left and right: stretches";
  EXPECT_EQ(wide[2], (Rect{8, 8, 284, 100}));
  EXPECT_EQ(wide[3], (Rect{4, 24, 276, 72})) << "follows its parent, not the window";
  EXPECT_EQ(wide[4], (Rect{4, 4, 268, 64})) << "fills its page inside the border";
  EXPECT_EQ(wide[5], (Rect{200, 2, 70, 13})) << "top and right: stays at the top right";
  EXPECT_EQ(wide[6].width, 260);

  const int line = layout::LineHeight(def.font);
  EXPECT_EQ(line, 13);
  const auto narrow = layout::Arrange(def, 120, 100);
  EXPECT_EQ(narrow[6].width, 80);
  EXPECT_EQ(narrow[0], (Rect{40, 70, 75, 25}));
  EXPECT_EQ(wide[6].height, line) << "one line when it fits";
  EXPECT_GT(design[6].height, wide[6].height);
  EXPECT_GT(narrow[6].height, design[6].height);
  EXPECT_EQ(narrow[6].height % line, 0);

  // Smaller than the design: sizes stop at zero, never below.
  const auto tiny = layout::Arrange(def, 10, 10);
  for (std::size_t i = 0; i < tiny.size(); ++i) {
    EXPECT_GE(tiny[i].width, 0) << def.controls[i].name;
    EXPECT_GE(tiny[i].height, 0) << def.controls[i].name;
  }
  EXPECT_EQ(tiny[4], (Rect{4, 4, 0, 0}));
}

}  // namespace
}  // namespace zanto

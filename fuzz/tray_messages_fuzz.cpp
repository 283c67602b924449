// The tray component under a random storm: callback codes with any modifier keys, its own
// timers, the shell restarting, session messages, messages of any number, changes of every
// option, balloons of any length, a shell that refuses or changes its version, no timers left,
// and menu items destroyed while their menu is open. After every step: PendingBalloons is never
// below 0, every string of the shell record ends with a NUL within its field and its limit,
// the icon is never added twice without a removal in between, and the component and the shell
// agree whether the icon is there (once a restart has put right what a refusing shell missed).
//
// The notification area is a stand-in with the simulated desktop's rules, which watches every
// request on its way: the simulated desktop writes each one out as a line of JSON, and that
// was nearly half of what a storm cost. One storm in kSimShellShare, picked by a hash of its
// bytes, goes to the simulated desktop's own notification area too, which must answer every
// request as the stand-in does and agree with it on the icon. Its trace is muted throughout.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/sim/sim_desktop.h"
#include "support/bare_window.h"
#include "support/constants.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/menu.h"
#include "tray/tray_icon.h"

namespace {

using namespace zanto;
namespace wm = platform::wm;
namespace nin = platform::nin;

constexpr std::array<std::uint32_t, 17> kCodes = {
    wm::ContextMenu,   nin::KeySelect,    wm::MouseMove,       wm::LButtonDown,
    wm::LButtonUp,     wm::LButtonDblClk, wm::RButtonDown,     wm::RButtonUp,
    wm::RButtonDblClk, wm::MButtonDown,   wm::MButtonUp,       wm::MButtonDblClk,
    nin::BalloonHide,  nin::BalloonShow,  nin::BalloonTimeout, nin::BalloonUserClick,
    nin::Select};

constexpr std::array<std::uint64_t, 12> kWaits = {0,   1,    10,   100,   499,        500,
                                                  501, 5000, 9999, 10000, 86'400'000, 1000};

constexpr std::array<std::optional<std::uint32_t>, 5> kShells = {std::nullopt, 0x40000, 0x4FFFF,
                                                                 0x50000, 0x60001};

// A text with the line breaks and the "|" that the tip and the older shells treat apart.
std::string Text(FuzzedDataProvider& in, std::size_t maxLength) {
  std::string text = in.ConsumeRandomLengthString(maxLength);
  if (in.ConsumeBool()) text.insert(text.size() / 2, in.ConsumeBool() ? "\r\n" : "|");
  return text;
}

constexpr std::uint32_t kSimShellShare = 16;

// The notification area by the simulated desktop's rules: an icon is added only once, and
// changed or removed only while it is there; a version is set only with the long record; a
// refusing shell does nothing, and a late answer says no to what was done. Every request is
// watched on its way: the icon is never added twice without a removal in between, unless the
// shell has just refused a probe, as a retry of a refused add first asks to change the whole
// icon.
class Shell final : public platform::NotificationArea {
 public:
  Shell(sim::SimDesktop& sim, bool alsoSim) : sim_(sim), alsoSim_(alsoSim) {}
  bool added = false;  // by the requests, whatever the answers

  bool IconPresent() const { return !icons_.empty(); }
  // The shell started again: it has forgotten every icon.
  void Restart() { icons_.clear(); }
  // In a storm whose requests go to the simulated desktop's notification area too, that one
  // has the icon when this one has.
  bool AgreesWithSim() const { return !alsoSim_ || sim_.IconPresent() == IconPresent(); }

  bool notifyIcon(std::uint32_t message, const platform::NotifyIconData& data) override {
    const bool afterRefusedProbe = probeRefused_;
    if (message == platform::nim::Add) {
      ZANTO_CHECK(!added || afterRefusedProbe);
      added = true;
    } else if (message == platform::nim::Delete) {
      added = false;
    }
    sim::SimOptions& options = sim_.Options();
    bool done = false;
    if (!options.shellRefuses) {
      done = CarryOut(message, data);
      if (options.lateAnswers > 0) {
        done = false;
        if (!alsoSim_) --options.lateAnswers;  // else the simulated desktop counts it
      }
    }
    if (alsoSim_) ZANTO_CHECK(sim_.notifyIcon(message, data) == done);
    probeRefused_ = message == platform::nim::Modify && data.uFlags == test::kAddFlags && !done;
    return done;
  }
  std::uint32_t shellVersion() override { return sim_.shellVersion(); }
  bool registerServiceProcess(bool hide) override { return sim_.registerServiceProcess(hide); }

 private:
  bool CarryOut(std::uint32_t message, const platform::NotifyIconData& data) {
    switch (message) {
      case platform::nim::Add:
        return icons_.insert(data.uID).second;
      case platform::nim::Delete:
        return icons_.erase(data.uID) != 0;
      case platform::nim::Modify:
      case platform::nim::SetFocus:
        return icons_.count(data.uID) != 0;
      case platform::nim::SetVersion:
        return icons_.count(data.uID) != 0 && data.longRecord();
    }
    return false;
  }

  sim::SimDesktop& sim_;
  bool alsoSim_;
  std::set<std::uint32_t> icons_;
  bool probeRefused_ = false;  // the last request
};

struct Storm {
  Storm(FuzzedDataProvider& input, bool alsoSimShell)
      : in(input),
        trace(out),
        desktop(Options(input), MutedTrace(trace)),
        shell(desktop, alsoSimShell),
        app({shell, desktop, desktop, desktop, desktop}) {}

  static sim::Trace& MutedTrace(sim::Trace& trace) {
    trace.Mute();
    return trace;
  }

  static sim::SimOptions Options(FuzzedDataProvider& in) {
    sim::SimOptions o;
    o.shellVersion = in.PickValueInArray(kShells);
    return o;
  }

  void Build() {
    app.Initialize();
    app.SetTitle("Zanto");
    form = &app.CreateForm<TForm>(test::BareWindow("frmMain"));
    menu = &form->Create<TPopupMenu>("PopupMenu1");
    for (std::size_t i = 0; i < items.size(); ++i) {
      items[i] = &form->Create<TMenuItem>("Item" + std::to_string(i), i == 2 ? "-" : "&Item");
      items[i]->SetDefault(in.ConsumeBool());
      menu->Add(*items[i]);
    }
    items[0]->SetOnClick([this](TMenuItem&) {
      tray->ShowBalloon("Menu", "Balloon from the menu", TBalloonType::btInfo, 3000, false);
    });
    items[1]->SetOnClick([this](TMenuItem&) { tray->HideToTray(); });
    items[3]->SetOnClick([this](TMenuItem&) { tray->ShowFromTray(); });
    items[4]->SetOnClick([](TMenuItem&) { throw Exception("The item failed"); });
    images = &form->Create<TImageList>("Images");
    for (auto icon : {platform::IconId::Program, platform::IconId::Application}) images->Add(icon);

    tray = &form->Create<TTrayIcon>("TrayIcon");
    tray->BeginLoading();
    tray->SetIcon(in.ConsumeBool() ? platform::IconId::Program : platform::IconId::None);
    tray->SetVisibility(TTrayVisibilities::FromWord(in.ConsumeIntegral<std::uint16_t>() & 0x1FF));
    if (in.ConsumeBool()) tray->SetPopupMenu(menu);
    tray->SetActive(in.ConsumeBool());
    tray->Loaded();

    // Handlers of the program's kind, some of them failing.
    if (in.ConsumeBool()) tray->OnBalloonClick = [](TTrayIcon&) { throw Exception("click"); };
    if (in.ConsumeBool()) tray->OnBalloonHide = [](TTrayIcon&) { throw Exception("hide"); };
    if (in.ConsumeBool())
      tray->OnClick = [](TTrayIcon&, TMouseButton, TShiftState, int, int) {
        throw Exception("The click failed");
      };
    if (in.ConsumeBool()) tray->OnDblClick = [](TTrayIcon&, TMouseButton, TShiftState, int, int) {};
    if (in.ConsumeBool())
      tray->OnContextPopup = [this](TTrayIcon&, platform::Point, bool& handled) {
        handled = contextHandled;
      };
    desktop.Options().whileMenuOpen = [this] {
      if (destroyWhileOpen) Destroy(*destroyWhileOpen);
      destroyWhileOpen.reset();
    };
  }

  // Destroys a menu item (0 to 4), the menu (5) or the image list (6), if it is still there.
  void Destroy(std::size_t what) {
    if (what < items.size() && items[what]) {
      form->DestroyComponent(*items[what]);
      items[what] = nullptr;
    } else if (what == items.size() && menu) {
      form->DestroyComponent(*menu);
      menu = nullptr;
    } else if (what == items.size() + 1 && images) {
      form->DestroyComponent(*images);
      images = nullptr;
    }
  }

  void Step() {
    switch (in.ConsumeIntegralInRange(0, 21)) {
      case 0:
      case 1:
      case 2:
        desktop.SetCursor({in.ConsumeIntegral<std::int16_t>(), in.ConsumeIntegral<std::int16_t>()});
        desktop.TrayCallback(in.PickValueInArray(kCodes), in.ConsumeIntegralInRange(0u, 7u));
        break;
      case 3:
        desktop.TrayCallback(in.ConsumeIntegral<std::uint32_t>(), 0);
        break;
      case 4:
      case 5: {
        std::uint64_t ms = in.ConsumeBool() ? in.PickValueInArray(kWaits)
                                            : in.ConsumeIntegralInRange<std::uint64_t>(0, 1 << 20);
        // An animation ticks every few milliseconds: a day of it would only cost time.
        if (tray->AnimationRunning()) ms = std::min<std::uint64_t>(ms, 2000);
        desktop.Wait(ms);
        break;
      }
      case 6:
        shell.Restart();
        desktop.TaskbarCreated();
        if (!desktop.Options().shellRefuses) inStep = true;
        break;
      case 7:
        if (in.ConsumeBool())
          desktop.QueryEndSession();
        else
          desktop.EndSession();
        break;
      case 8: {
        // Any message at the component's own window, delivered with the next callback.
        const std::array<std::uint32_t, 6> messages = {wm::Timer,
                                                       wm::EndSession,
                                                       wm::QueryEndSession,
                                                       tray->TaskbarCreatedMessage(),
                                                       TTrayIcon::kCallbackMessage,
                                                       in.ConsumeIntegral<std::uint32_t>()};
        const std::uint32_t msg = in.PickValueInArray(messages);
        desktop.postMessage(tray->Handle(), msg, in.ConsumeIntegralInRange<std::uintptr_t>(0, 4),
                            in.ConsumeIntegral<std::int32_t>());
        desktop.TrayCallback(wm::MouseMove, 0);
        break;
      }
      case 9:
        tray->SetVisibility(
            TTrayVisibilities::FromWord(in.ConsumeIntegral<std::uint16_t>() & 0x1FF));
        break;
      case 10:
        tray->SetHint(Text(in, 300));
        break;
      case 11: {
        const std::string title = Text(in, 100);
        const std::string text = Text(in, 400);
        tray->ShowBalloon(title, text, static_cast<TBalloonType>(in.ConsumeIntegralInRange(0, 3)),
                          in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, 12000u) : 10000u,
                          in.ConsumeBool());
        break;
      }
      case 12:
        tray->HideBalloons();
        break;
      case 13:
        tray->SetActive(in.ConsumeBool());
        break;
      case 14:
        switch (in.ConsumeIntegralInRange(0, 4)) {
          case 0:
            tray->SetAnimated(in.ConsumeBool());
            break;
          case 1:
            tray->SetDelay(in.ConsumeIntegralInRange(0u, 1000u));
            break;
          case 2:
            tray->SetIconIndex(in.ConsumeIntegralInRange(-2, 3));
            break;
          case 3:
            tray->SetIcons(in.ConsumeBool() ? images : nullptr);
            break;
          default:
            tray->SetIcon(static_cast<platform::IconId>(in.ConsumeIntegralInRange(0, 2)));
            break;
        }
        break;
      case 15: {
        const std::size_t item = in.ConsumeIntegralInRange<std::size_t>(0, items.size());
        desktop.SetMenuAnswer(item < items.size()
                                  ? std::optional<std::string>("Item" + std::to_string(item))
                                  : std::nullopt);
        contextHandled = in.ConsumeBool();
        break;
      }
      case 16:
        if (in.ConsumeBool())
          tray->SetPopupMenu(in.ConsumeBool() ? menu : nullptr);
        else
          tray->SetDropDownMenu(in.ConsumeBool() ? menu : nullptr);
        break;
      case 17: {
        const std::size_t what = in.ConsumeIntegralInRange<std::size_t>(0, items.size() + 1);
        if (in.ConsumeBool())
          destroyWhileOpen = what;
        else
          Destroy(what);
        break;
      }
      case 18:
        switch (in.ConsumeIntegralInRange(0, 2)) {
          case 0:
            desktop.Options().shellRefuses = in.ConsumeBool();
            if (desktop.Options().shellRefuses) inStep = false;
            break;
          case 1:
            desktop.Options().shellVersion = in.PickValueInArray(kShells);
            break;
          default: {
            const int limit = in.ConsumeIntegralInRange(-1, 2);
            desktop.Options().timerLimit =
                limit < 0 ? std::nullopt : std::optional<std::size_t>(limit);
            break;
          }
        }
        break;
      case 19:
        switch (in.ConsumeIntegralInRange(0, 3)) {
          case 0:
            desktop.MinimizeMainWindow();
            break;
          case 1:
            app.Perform(wm::SysCommand, platform::sc::Restore, 0);
            break;
          case 2:
            tray->SetSnap(in.ConsumeBool());
            break;
          default:
            desktop.CloseMainWindow();
            break;
        }
        break;
      case 20:
        tray->HideToTray();
        break;
      default:
        tray->ShowFromTray();
        break;
    }
  }

  void CheckInvariants() const {
    ZANTO_CHECK(tray->PendingBalloons() >= 0);
    const platform::NotifyIconData& record = tray->Record();
    ZANTO_CHECK(fuzz::FieldWithin(record.szTip, 127));
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, 255));
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfoTitle, 63));
    ZANTO_CHECK(shell.added == tray->IconShown());
    if (inStep) ZANTO_CHECK(shell.IconPresent() == tray->IconShown());
    ZANTO_CHECK(shell.AgreesWithSim());
    ZANTO_CHECK(!tray->AnimationRunning() || tray->IconShown());
  }

  FuzzedDataProvider& in;
  // The shell's icons and the component's view agree: no refusal since the last restart.
  bool inStep = true;
  std::ostream out{nullptr};  // nothing is written to it
  sim::Trace trace;
  sim::SimDesktop desktop;
  Shell shell;
  TApplication app;
  TForm* form = nullptr;
  TPopupMenu* menu = nullptr;
  std::array<TMenuItem*, 5> items{};
  TImageList* images = nullptr;
  TTrayIcon* tray = nullptr;
  bool contextHandled = false;
  std::optional<std::size_t> destroyWhileOpen;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  FuzzedDataProvider in(data, size);
  Storm storm(in, hash / (UINT32_MAX / kSimShellShare + 1) == 0);
  storm.Build();
  storm.CheckInvariants();
  for (int steps = 0; steps < 256 && in.remaining_bytes() > 0; ++steps) {
    if (storm.desktop.TimerTicks() > 20'000) break;  // enough of the clock for one input
    storm.Step();
    storm.CheckInvariants();
  }
  // Going away takes the icon with it and leaves no timer behind.
  storm.app.DestroyForms();
  ZANTO_CHECK(!storm.shell.added);
  ZANTO_CHECK(storm.desktop.LiveTimers() == 0);
  return 0;
}

#include "app/settings_form.h"

#include "app/settings_definition.h"
#include "quotes/quote_file.h"
#include "toolkit/application.h"

namespace zanto {

namespace {

constexpr std::uint32_t kDay = 86'400'000;  // ms
constexpr const char* kBalloonTitle = "Did you know?";
constexpr std::uint32_t kBalloonTimeout = 10000;
constexpr std::uint32_t kAtOnce = 10;  // ms: the next tick, as soon as the system allows

template <class T>
T& StartLoading(T& component) {
  component.BeginLoading();
  return component;
}

template <class T>
T& Named(TForm& form, const char* name) {
  return dynamic_cast<T&>(*form.FindComponent(name));
}

}  // namespace

TfrmSettings::TfrmSettings(TApplication& app)
    : TForm(app, SettingsFormDefinition()),
      BitBtn1(Named<TButton>(*this, "BitBtn1")),
      BitBtn2(Named<TButton>(*this, "BitBtn2")),
      Bevel1(Named<TControl>(*this, "Bevel1")),
      PopupMenu1(StartLoading(Create<TPopupMenu>("PopupMenu1"))),
      Settings1(StartLoading(Create<TMenuItem>("Settings1", "&Settings..."))),
      N1(StartLoading(Create<TMenuItem>("N1", "-"))),
      AboutZanto1(StartLoading(Create<TMenuItem>("AboutZanto1", "About &Zanto..."))),
      Exit1(StartLoading(Create<TMenuItem>("Exit1", "E&xit"))),
      TrayIcon(StartLoading(Create<TTrayIcon>("TrayIcon"))),
      PageControl(Named<TPageControl>(*this, "PageControl")),
      TabSheet1(Named<TControl>(*this, "TabSheet1")),
      TabSheet2(Named<TControl>(*this, "TabSheet2")),
      TabSheet3(Named<TControl>(*this, "TabSheet3")),
      ListView1(Named<TListView>(*this, "ListView1")),
      ZantoSaysTimer(StartLoading(Create<TTimer>("ZantoSaysTimer"))),
      Label1(Named<TControl>(*this, "Label1")),
      Label2(Named<TControl>(*this, "Label2")),
      Bevel2(Named<TControl>(*this, "Bevel2")),
      Label3(Named<TControl>(*this, "Label3")),
      Label4(Named<TControl>(*this, "Label4")),
      Label5(Named<TControl>(*this, "Label5")),
      Label6(Named<TControl>(*this, "Label6")),
      ellmemoreZanto1(StartLoading(Create<TMenuItem>("ellmemoreZanto1", "&Tell me more, Zanto!"))) {
  BitBtn1.SetOnClick([this](TButton&) { BitBtn1Click(); });
  BitBtn2.SetOnClick([this](TButton&) { BitBtn2Click(); });

  for (TMenuItem* item : {&ellmemoreZanto1, &N1, &Settings1, &AboutZanto1, &Exit1})
    PopupMenu1.Add(*item);
  ellmemoreZanto1.SetOnClick([this](TMenuItem&) { ellmemoreZanto1Click(); });
  Settings1.SetOnClick([this](TMenuItem&) { Settings1Click(); });
  AboutZanto1.SetOnClick([this](TMenuItem&) { AboutZanto1Click(); });
  Exit1.SetOnClick([this](TMenuItem&) { Exit1Click(); });

  TrayIcon.SetIcon(platform::IconId::Program);
  TrayIcon.SetVisibility({tvVisibleTaskList, tvAutoHide});
  TrayIcon.SetPopupMenu(&PopupMenu1);
  TrayIcon.OnHandOver = [this](TTrayIcon&, std::uintptr_t what) { TrayIconHandOver(what); };
  TrayIcon.SetActive(true);

  ZantoSaysTimer.SetEnabled(false);
  ZantoSaysTimer.SetOnTimer([this](TTimer&) { ZantoSaysTimerTimer(); });
}

TfrmSettings::~TfrmSettings() = default;

void TfrmSettings::FormCreate() {
  ExitRequested = false;
  TrayIcon.HideToTray();
  QuoteDeck = std::make_unique<TQuoteDeck>();
  Application().Random().Seed(Application().Clock().utcMillisecondsOfDay());
  ZantoSaysTimer.SetEnabled(true);
  LoadQuotes();
}

bool TfrmSettings::FormCloseQuery() {
  if (ExitRequested) return true;
  TrayIcon.HideToTray();
  return false;
}

void TfrmSettings::FormDestroy() {
  QuoteDeck.reset();
}

bool TfrmSettings::QueryEndSession() {
  // A tray program never holds up a log-off or shutdown, and hides nothing on the way.
  return true;
}

void TfrmSettings::EndSession(bool ending) {
  if (!ending) return;
  // The system may end the process as soon as this returns: take the icon away now.
  ExitRequested = true;
  TrayIcon.RemoveIcon();
  Application().Terminate();
}

void TfrmSettings::LoadQuotes() {
  quotes_ = LoadQuoteList(Application().Files());
  ListView1.SetSource({[this] { return quotes_.Count(); },
                       [this](std::size_t row) { return quotes_[row]; }, quotes_.Encoding()});
}

void TfrmSettings::RefillDeck() {
  QuoteDeck->Refill(quotes_.Count(), Application().Random());
}

void TfrmSettings::ZantoSaysTimerTimer() {
  if (!QuoteDeck) return;
  if (QuoteDeck->Empty()) RefillDeck();
  // With no quotes at all there is nothing to show, but the schedule goes on.
  if (!QuoteDeck->Empty())
    TrayIcon.ShowBalloon(kBalloonTitle, quotes_[QuoteDeck->TakeFront()], TBalloonType::btInfo,
                         kBalloonTimeout, false, quotes_.Encoding());
  ZantoSaysTimer.SetInterval(kDay + Application().Random().Below(kDay));
}

void TfrmSettings::ellmemoreZanto1Click() {
  ZantoSaysTimer.SetInterval(kAtOnce);
}

void TfrmSettings::Settings1Click() {
  PageControl.SetActivePageIndex(0);
  TrayIcon.ShowFromTray();
}

void TfrmSettings::AboutZanto1Click() {
  PageControl.SetActivePageIndex(2);
  TrayIcon.ShowFromTray();
}

void TfrmSettings::Exit1Click() {
  ExitRequested = true;
  Close();
}

// A start while this Zanto runs: the user asked for it and found nothing, so the window
// comes as Settings brings it, and in front, where the user looks. The menu entry's actions
// are the tray menu's commands.
void TfrmSettings::TrayIconHandOver(std::uintptr_t what) {
  namespace handover = platform::handover;
  switch (what) {
    case handover::Start:
      Settings1Click();
      BringToFront();
      break;
    case handover::TellMeMore:
      ellmemoreZanto1Click();
      break;
    case handover::Settings:
      Settings1Click();
      BringToFront();
      break;
    case handover::About:
      AboutZanto1Click();
      BringToFront();
      break;
    case handover::Exit:
      Exit1Click();
      break;
    default:
      break;  // from a newer Zanto: nothing this one knows
  }
}

void TfrmSettings::BitBtn1Click() {
  TrayIcon.HideToTray();
}

void TfrmSettings::BitBtn2Click() {
  TrayIcon.HideToTray();
}

}  // namespace zanto

// TfrmSettings: the program's one window. Hidden nearly all the time, it owns the tray icon,
// the tray menu, the quotes and the quote timer, and shows the settings pages when asked.
#pragma once

#include <memory>

#include "quotes/quote_deck.h"
#include "quotes/quote_list.h"
#include "toolkit/form.h"
#include "toolkit/menu.h"
#include "toolkit/timer.h"
#include "tray/tray_icon.h"

namespace zanto {

class TfrmSettings : public TForm {
 public:
  explicit TfrmSettings(TApplication& app);
  ~TfrmSettings() override;

  // Components, in the order they are declared. Their names are the window's own, kept as
  // they were given when each was placed (defaults included): the key to them is beside each.
  TButton& BitBtn1;            // the Cancel button: back to the tray
  TButton& BitBtn2;            // the OK button, the default one: back to the tray
  TControl& Bevel1;            // the line above the buttons
  TPopupMenu& PopupMenu1;      // the tray menu
  TMenuItem& Settings1;        // "&Settings...": the window on its General page
  TMenuItem& N1;               // the menu's separator line
  TMenuItem& AboutZanto1;      // "About &Zanto...": the window on its About page
  TMenuItem& Exit1;            // "E&xit": ends the program
  TTrayIcon& TrayIcon;         // the icon in the notification area, and its balloons
  TPageControl& PageControl;   // the pages: General, Quotes, About
  TControl& TabSheet1;         // the General page
  TControl& TabSheet2;         // the Quotes page
  TControl& TabSheet3;         // the About page
  TListView& ListView1;        // the quote list, on the Quotes page
  TTimer& ZantoSaysTimer;      // the next quote's moment
  TControl& Label1;            // About: "Zanto", bold
  TControl& Label2;            // About: the version, "v0.1"
  TControl& Bevel2;            // About: the line under the title
  TControl& Label3;            // About: the author's credit
  TControl& Label4;            // About: where bugs, complaints and worship go
  TControl& Label5;            // About: the motto, in italics at the top right
  TControl& Label6;            // General: "Sorry, no options implemented at the moment. ..."
  TMenuItem& ellmemoreZanto1;  // "&Tell me more, Zanto!": the next quote now (its name is
                               // the caption with the first letter lost)
  bool ExitRequested = false;
  std::unique_ptr<TQuoteDeck> QuoteDeck;

  const TQuoteList& Quotes() const { return quotes_; }

  // Handlers.
  void FormCreate();
  bool FormCloseQuery();
  void FormDestroy();
  void LoadQuotes();
  void RefillDeck();
  void ZantoSaysTimerTimer();
  void ellmemoreZanto1Click();
  void Settings1Click();
  void AboutZanto1Click();
  void Exit1Click();
  void BitBtn1Click();
  void BitBtn2Click();
  void TrayIconHandOver(std::uintptr_t what);

 protected:
  void DoCreate() override { FormCreate(); }
  bool CloseQuery() override { return FormCloseQuery(); }
  void DoDestroy() override { FormDestroy(); }
  bool QueryEndSession() override;
  void EndSession(bool ending) override;

 private:
  TQuoteList quotes_;
};

}  // namespace zanto

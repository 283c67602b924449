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

  // Components, in the order they are declared.
  TButton& BitBtn1;
  TButton& BitBtn2;
  TControl& Bevel1;
  TPopupMenu& PopupMenu1;
  TMenuItem& Settings1;
  TMenuItem& N1;
  TMenuItem& AboutZanto1;
  TMenuItem& Exit1;
  TTrayIcon& TrayIcon;
  TPageControl& PageControl;
  TControl& TabSheet1;
  TControl& TabSheet2;
  TControl& TabSheet3;
  TListView& ListView1;
  TTimer& ZantoSaysTimer;
  TControl& Label1;
  TControl& Label2;
  TControl& Bevel2;
  TControl& Label3;
  TControl& Label4;
  TControl& Label5;
  TControl& Label6;
  TMenuItem& ellmemoreZanto1;
  bool ExitRequested = false;
  std::unique_ptr<TQuoteDeck> QuoteDeck;

  const QuoteList& Quotes() const { return quotes_; }

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

 protected:
  void DoCreate() override { FormCreate(); }
  bool CloseQuery() override { return FormCloseQuery(); }
  void DoDestroy() override { FormDestroy(); }
  bool QueryEndSession() override;
  void EndSession(bool ending) override;

 private:
  QuoteList quotes_;
};

}  // namespace zanto

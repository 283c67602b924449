// The controls of a window: components that stand for one entry of the window definition.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/form_definition.h"
#include "platform/text.h"
#include "toolkit/component.h"

namespace zanto {

class TForm;

class TControl : public TComponent {
 public:
  TControl(TComponent* owner, TForm& form, int index);
  int Index() const { return index_; }
  const platform::ControlDef& Def() const;
  platform::Rect Bounds() const;
  const std::string& Caption() const { return Def().caption; }

 protected:
  TForm& form_;

 private:
  int index_;
};

class TButton : public TControl {
 public:
  using Handler = std::function<void(TButton&)>;
  using TControl::TControl;
  void SetOnClick(Handler handler) { onClick_ = std::move(handler); }
  void Click();

 private:
  Handler onClick_;
};

class TPageControl : public TControl {
 public:
  TPageControl(TComponent* owner, TForm& form, int index);
  int ActivePageIndex() const { return activePage_; }
  void SetActivePageIndex(int page);
  int PageCount() const;

 private:
  friend class TForm;
  int activePage_;
};

// A list whose rows are asked for when they are drawn: its size never costs anything.
class TListView : public TControl {
 public:
  struct Source {
    std::function<std::size_t()> count;
    std::function<std::string_view(std::size_t)> row;
    platform::TextEncoding encoding = platform::TextEncoding::Ansi;  // of every row
  };
  using TControl::TControl;
  void SetSource(Source source);
  std::size_t RowCount() const { return source_.count ? source_.count() : 0; }
  platform::Text Row(std::size_t row) const;

 private:
  Source source_;
};

}  // namespace zanto

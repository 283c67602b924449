#include "toolkit/controls.h"

#include "toolkit/form.h"

namespace zanto {

TControl::TControl(TComponent* owner, TForm& form, int index)
    : TComponent(owner, form.Def().controls[static_cast<std::size_t>(index)].name),
      form_(form),
      index_(index) {}

const platform::ControlDef& TControl::Def() const {
  return form_.Def().controls[static_cast<std::size_t>(index_)];
}

platform::Rect TControl::Bounds() const {
  return form_.Bounds(index_);
}

void TButton::Click() {
  if (Handler handler = onClick_) handler(*this);
}

TPageControl::TPageControl(TComponent* owner, TForm& form, int index)
    : TControl(owner, form, index), activePage_(Def().activePage) {}

int TPageControl::PageCount() const {
  int pages = 0;
  for (const auto& c : form_.Def().controls)
    if (c.parent == Index() && c.kind == platform::ControlKind::TabSheet) ++pages;
  return pages;
}

void TPageControl::SetActivePageIndex(int page) {
  if (page < 0 || page >= PageCount() || page == activePage_) return;
  activePage_ = page;
  form_.PageChanged(*this);
}

void TListView::SetSource(Source source) {
  source_ = std::move(source);
  form_.RowsChanged(*this);
}

platform::Text TListView::Row(std::size_t row) const {
  if (!source_.row || row >= RowCount()) return {{}, source_.encoding};
  return {source_.row(row), source_.encoding};
}

}  // namespace zanto

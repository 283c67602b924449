#include "platform/linux/linux_form.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

#include "platform/linux/text_conversion.h"
#include "platform/linux/x11_activation.h"

namespace zanto::platform::linux_desktop {

// The rows of a list view, asked for when they are drawn.
class RowModel final : public QAbstractTableModel {
 public:
  RowModel(FormEvents& events, int control, std::vector<ColumnDef> columns)
      : events_(events), control_(control), columns_(std::move(columns)) {}

  void SetRows(std::size_t rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
  }
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(rows_, INT32_MAX));
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : std::max(1, static_cast<int>(columns_.size()));
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || index.column() != 0) return {};
    return ToQString(events_.listRow(control_, static_cast<std::size_t>(index.row())));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= columns_.size())
      return {};
    return ProgramText(columns_[static_cast<std::size_t>(section)].caption);
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

 private:
  FormEvents& events_;
  int control_;
  std::vector<ColumnDef> columns_;
  std::size_t rows_ = 0;
};

class LinuxForm::Window final : public QWidget {
 public:
  explicit Window(LinuxForm& form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The program decides whether the window closes.
    event->ignore();
    form_.events_.formClose();
  }
  void changeEvent(QEvent* event) override {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && form_.applying_ == 0)
      form_.UserStateChange(static_cast<QWindowStateChangeEvent*>(event)->oldState());
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    form_.events_.formResized(form_.Unscaled(width()), form_.Unscaled(height()));
  }
  void keyPressEvent(QKeyEvent* event) override {
    // Keys no control used: the window's default and cancel buttons.
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
      form_.events_.dialogKey(DialogKey::Enter);
    else if (mods == Qt::NoModifier && event->key() == Qt::Key_Escape)
      form_.events_.dialogKey(DialogKey::Escape);
    else
      QWidget::keyPressEvent(event);
  }

 private:
  LinuxForm& form_;
};

namespace {

QFont FontOf(const FontDef& def, double scale) {
  // The design's font is a Windows one; the desktop's own face at the design's pixel
  // height keeps the proportions the layout was made for.
  QFont font = QApplication::font();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(std::abs(def.height) * scale))));
  font.setBold(def.bold);
  font.setItalic(def.italic);
  return font;
}

}  // namespace

LinuxForm::LinuxForm(WindowId id, const FormDef& def, FormEvents& events, QIcon icon, Hooks hooks)
    : id_(id), def_(def), events_(events), hooks_(std::move(hooks)) {
  window_ = std::make_unique<Window>(*this);
  QWidget& w = *window_;
  scale_ = w.logicalDpiX() / 96.0;
  if (scale_ <= 0) scale_ = 1.0;
  w.setWindowTitle(ProgramText(def.caption));
  w.setWindowIcon(icon);
  w.setFont(FontOf(def.font, scale_));
  w.setAttribute(Qt::WA_QuitOnClose, false);
  ++applying_;
  w.resize(Scaled({0, 0, def.clientWidth, def.clientHeight}).size());
  --applying_;
  if (def.centered) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
    }
  }

  controls_.assign(def.controls.size(), nullptr);
  models_.resize(def.controls.size());
  bounds_.clear();
  for (const ControlDef& c : def.controls) bounds_.push_back(c.bounds);
  std::vector<QWidget*> tabStops(def.controls.size(), nullptr);
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    const int index = static_cast<int>(i);
    QWidget* parent = c.parent >= 0 ? controls_[static_cast<std::size_t>(c.parent)] : &w;
    if (!parent) continue;
    const QFont font = c.parentFont ? parent->font() : FontOf(c.font, scale_);
    QWidget* made = nullptr;
    switch (c.kind) {
      case ControlKind::Button: {
        auto* button = new QPushButton(ProgramText(c.caption), parent);
        // Enter is the window's to give to its default button (see dialogKey).
        button->setAutoDefault(false);
        button->setDefault(c.isDefault);
        QObject::connect(button, &QPushButton::clicked, button,
                         [this, index] { events_.controlClicked(index); });
        made = button;
        break;
      }
      case ControlKind::PageControl: {
        auto* tabs = new QTabWidget(parent);
        QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this, index](int page) {
          if (applying_ == 0) events_.pageSelected(index, page);
        });
        made = tabs;
        break;
      }
      case ControlKind::TabSheet: {
        auto* tabs = qobject_cast<QTabWidget*>(parent);
        auto* page = new QWidget();
        if (tabs) {
          ++applying_;
          tabs->addTab(page, ProgramText(c.caption));
          --applying_;
        } else {
          page->setParent(parent);
        }
        made = page;
        break;
      }
      case ControlKind::ListView: {
        auto* view = new QTreeView(parent);
        models_[i] = std::make_unique<RowModel>(events_, index, c.columns);
        view->setModel(models_[i].get());
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);  // only the rows in sight are asked for
        view->setAllColumnsShowFocus(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        if (c.readOnly) view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->header()->setSectionsClickable(c.columnClick);
        view->header()->setStretchLastSection(false);
        for (std::size_t col = 0; col < c.columns.size(); ++col)
          view->header()->resizeSection(
              static_cast<int>(col), static_cast<int>(std::lround(c.columns[col].width * scale_)));
        if (c.hideSelection) {
          QPalette palette = view->palette();
          palette.setColor(QPalette::Inactive, QPalette::Highlight,
                           palette.color(QPalette::Inactive, QPalette::Base));
          palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                           palette.color(QPalette::Inactive, QPalette::Text));
          view->setPalette(palette);
        }
        made = view;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(ProgramText(c.caption), parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(c.wordWrap);
        label->setAlignment((c.align == TextAlign::Right ? Qt::AlignRight : Qt::AlignLeft) |
                            Qt::AlignTop);
        made = label;
        break;
      }
      case ControlKind::Bevel: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        made = line;
        break;
      }
    }
    made->setFont(font);
    made->setObjectName(ProgramText(c.name));
    if (c.tabOrder >= 0) tabStops[i] = made;
    controls_[i] = made;
    Place(index);
  }
  // Keyboard order among siblings as the definition numbers it.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < tabStops.size(); ++i)
    if (tabStops[i]) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return def.controls[a].parent < def.controls[b].parent ||
           (def.controls[a].parent == def.controls[b].parent &&
            def.controls[a].tabOrder < def.controls[b].tabOrder);
  });
  for (std::size_t k = 1; k < order.size(); ++k)
    if (def.controls[order[k]].parent == def.controls[order[k - 1]].parent)
      QWidget::setTabOrder(tabStops[order[k - 1]], tabStops[order[k]]);
  for (std::size_t i = 0; i < def.controls.size(); ++i)
    if (def.controls[i].kind == ControlKind::PageControl)
      setActivePage(static_cast<int>(i), def.controls[i].activePage);
}

LinuxForm::~LinuxForm() {
  if (hooks_.destroyed) hooks_.destroyed();
  window_.reset();  // its controls go with it, before the models they show
}

QWidget& LinuxForm::Widget() const {
  return *window_;
}

QRect LinuxForm::Scaled(const Rect& r) const {
  auto s = [this](int v) { return static_cast<int>(std::lround(v * scale_)); };
  return QRect(s(r.left), s(r.top), s(r.right()) - s(r.left), s(r.bottom()) - s(r.top));
}

int LinuxForm::Unscaled(int pixels) const {
  return static_cast<int>(std::lround(pixels / scale_));
}

void LinuxForm::Place(int control) {
  const auto i = static_cast<std::size_t>(control);
  QWidget* widget = controls_[i];
  if (!widget) return;
  const ControlDef& c = def_.controls[i];
  if (c.kind == ControlKind::TabSheet) return;  // the tab widget places its pages
  QRect r = Scaled(bounds_[i]);
  switch (c.kind) {
    case ControlKind::Bevel: {
      constexpr int kLine = 2;
      if (c.shape == BevelShape::BottomLine)
        r = QRect(r.left(), r.bottom() + 1 - kLine, r.width(), kLine);
      else if (c.shape == BevelShape::TopLine)
        r.setHeight(kLine);
      break;
    }
    case ControlKind::Label: {
      auto* label = static_cast<QLabel*>(widget);
      const int textWidth = label->fontMetrics().horizontalAdvance(label->text()) + 2;
      if (c.autoSize && !c.wordWrap) {
        // The label takes its text's width; a right-aligned one keeps its right edge.
        if (c.align == TextAlign::Right) r.setLeft(r.right() + 1 - textWidth);
        r.setWidth(textWidth);
        r.setHeight(std::max(r.height(), label->sizeHint().height()));
      } else {
        // This desktop's font may be wider than the design's: a text that no longer fits
        // its line wraps rather than being cut off.
        if (!c.wordWrap) label->setWordWrap(textWidth > r.width());
        if (label->wordWrap()) r.setHeight(std::max(r.height(), label->heightForWidth(r.width())));
      }
      break;
    }
    default:
      break;
  }
  widget->setGeometry(r);
}

void LinuxForm::setVisible(bool visible) {
  if (shown_ == visible) return;
  shown_ = visible;
  Update();
}

void LinuxForm::bringToFront() {
  if (Wanted() != Presence::Shown) return;
  window_->raise();
  const std::uint32_t time = hooks_.takeActivationTime ? hooks_.takeActivationTime() : 0;
  if (!ActivateAtUserTime(*window_, time)) window_->activateWindow();
}

void LinuxForm::Apply(bool taskbarShown, bool taskbarIconic) {
  taskbarShown_ = taskbarShown;
  taskbarIconic_ = taskbarIconic;
  Update();
}

Presence LinuxForm::Wanted() const {
  if (!shown_) return Presence::Hidden;
  if (taskbarIconic_) return taskbarShown_ ? Presence::Iconified : Presence::Hidden;
  return Presence::Shown;
}

bool LinuxForm::visible() const {
  return Wanted() == Presence::Shown && state_ != WindowState::Minimized;
}

void LinuxForm::Update() {
  // The program's handler may move the window through several states before it returns;
  // the window follows the last one, once the handler is done.
  if (!window_) return;
  QTimer::singleShot(0, window_.get(), [this] {
    QWidget& w = *window_;
    ++applying_;
    switch (Wanted()) {
      case Presence::Hidden:
        if (w.isVisible()) w.hide();
        break;
      case Presence::Iconified:
        if (!w.isVisible() || !w.isMinimized()) w.showMinimized();
        break;
      case Presence::Shown:
        if (state_ == WindowState::Maximized) {
          if (!w.isVisible() || !w.isMaximized()) w.showMaximized();
        } else if (state_ == WindowState::Minimized) {
          if (!w.isVisible() || !w.isMinimized()) w.showMinimized();
        } else if (!w.isVisible() || w.isMinimized() || w.isMaximized()) {
          w.showNormal();
        }
        break;
    }
    --applying_;
  });
}

void LinuxForm::setWindowState(WindowState state) {
  if (state_ == state) return;
  state_ = state;
  Update();
}

void LinuxForm::UserStateChange(Qt::WindowStates before) {
  const Qt::WindowStates now = window_->windowState();
  if ((now & Qt::WindowMinimized) && !(before & Qt::WindowMinimized)) {
    if (Wanted() == Presence::Iconified) return;  // the window manager doing as asked
    // The minimise button. The main window's minimise is the application's (it then
    // hides or iconifies as the taskbar window says); any other window just minimises.
    if (!events_.formSysCommand(sc::Minimize)) state_ = WindowState::Minimized;
    Update();
    return;
  }
  if (!(now & Qt::WindowMinimized) && (before & Qt::WindowMinimized)) {
    if (Wanted() == Presence::Shown && state_ != WindowState::Minimized) return;
    // Back from the taskbar: the application is restored, as its taskbar entry would.
    if (state_ == WindowState::Minimized) state_ = WindowState::Normal;
    if (taskbarIconic_ && hooks_.restoredByUser) hooks_.restoredByUser();
  }
  if (!(now & Qt::WindowMinimized))
    state_ = (now & Qt::WindowMaximized) ? WindowState::Maximized : WindowState::Normal;
}

void LinuxForm::setBounds(int control, const Rect& bounds) {
  if (control < 0 || static_cast<std::size_t>(control) >= bounds_.size()) return;
  bounds_[static_cast<std::size_t>(control)] = bounds;
  Place(control);
}

void LinuxForm::setActivePage(int control, int page) {
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return;
  if (auto* tabs = qobject_cast<QTabWidget*>(controls_[static_cast<std::size_t>(control)])) {
    ++applying_;
    tabs->setCurrentIndex(page);
    --applying_;
  }
}

void LinuxForm::setRowCount(int control, std::size_t rows) {
  if (control < 0 || static_cast<std::size_t>(control) >= models_.size()) return;
  if (auto& model = models_[static_cast<std::size_t>(control)]) model->SetRows(rows);
}

int LinuxForm::focusedControl() const {
  for (const QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    const auto it = std::find(controls_.begin(), controls_.end(), w);
    if (it != controls_.end()) return static_cast<int>(it - controls_.begin());
    if (w == window_.get()) break;
  }
  return -1;
}

}  // namespace zanto::platform::linux_desktop

// The program's main window on Qt Widgets, built from its window definition: push buttons,
// a tab widget for the page control, a list view that asks the program for its rows as
// they are drawn, labels and bevel lines, all placed from the 96-dpi rectangles scaled to
// the screen's resolution.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/desktop.h"

class QTabWidget;

namespace zanto::platform::linux_desktop {

class RowModel;

// Where the main window stands with the application's taskbar window (see LinuxDesktop).
enum class Presence { Hidden, Iconified, Shown };

class LinuxForm final : public NativeForm {
 public:
  struct Hooks {
    std::function<void()> restoredByUser;  // the user brought the iconified window back
    std::function<void()> destroyed;
    // The time of the user's request that brings the window forward, once; 0: none known.
    std::function<std::uint32_t()> takeActivationTime;
  };
  LinuxForm(WindowId id, const FormDef& def, FormEvents& events, QIcon icon, Hooks hooks);
  ~LinuxForm() override;

  WindowId id() const override { return id_; }
  void setVisible(bool visible) override;
  bool visible() const override;
  void setWindowState(WindowState state) override;
  void setBounds(int control, const Rect& bounds) override;
  void setActivePage(int control, int page) override;
  void setRowCount(int control, std::size_t rows) override;
  int focusedControl() const override;
  void bringToFront() override;

  // Shows, iconifies or hides the window as the taskbar window's state says.
  void Apply(bool taskbarShown, bool taskbarIconic);
  bool Shown() const { return shown_; }
  FormEvents& Events() const { return events_; }
  QWidget& Widget() const;

 private:
  class Window;
  friend class Window;

  Presence Wanted() const;
  void Update();
  void Place(int control);
  QRect Scaled(const Rect& r) const;
  int Unscaled(int pixels) const;
  void UserStateChange(Qt::WindowStates before);

  WindowId id_;
  const FormDef& def_;
  FormEvents& events_;
  Hooks hooks_;
  double scale_ = 1.0;
  std::unique_ptr<Window> window_;
  std::vector<QWidget*> controls_;  // by control index; owned by the window as Qt parents
  std::vector<Rect> bounds_;
  std::vector<std::unique_ptr<RowModel>> models_;
  bool shown_ = false;
  bool taskbarShown_ = false;
  bool taskbarIconic_ = false;
  WindowState state_ = WindowState::Normal;
  int applying_ = 0;  // window state changes of our own making, not the user's
};

}  // namespace zanto::platform::linux_desktop

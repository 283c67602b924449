// A window of the program made from its definition: its controls are components, its
// layout follows the anchors, and its life runs through create, close query and destroy.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "toolkit/component.h"
#include "toolkit/controls.h"

namespace zanto {

class TApplication;

class TForm : public TComponent, private platform::FormEvents {
 public:
  TForm(TApplication& app, platform::FormDef def);
  ~TForm() override;

  TApplication& Application() const override { return app_; }
  const platform::FormDef& Def() const { return def_; }

  // Lets every component finish loading, then runs the create handler. Called once by
  // TApplication::CreateForm after construction.
  void FinishCreation();

  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  // A shown window to the front, the keyboard focus in it.
  void BringToFront();
  platform::WindowState WindowState() const { return state_; }
  void SetWindowState(platform::WindowState state);
  // Asks the close question; the main window's close ends the application.
  void Close();

  platform::NativeForm& Native() const { return *native_; }
  TControl& Control(int index) const { return *controls_[static_cast<std::size_t>(index)]; }
  platform::Rect Bounds(int index) const { return bounds_[static_cast<std::size_t>(index)]; }
  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void PageChanged(TPageControl& control);
  void RowsChanged(TListView& control);

 protected:
  virtual void DoCreate() {}
  virtual bool CloseQuery() { return true; }
  virtual void DoDestroy() {}
  virtual bool QueryEndSession() { return CloseQuery(); }
  virtual void EndSession(bool /*ending*/) {}

 private:
  void formClose() noexcept override;
  bool formSysCommand(std::uint32_t command) noexcept override;
  bool formQueryEndSession() noexcept override;
  void formEndSession(bool ending) noexcept override;
  void controlClicked(int control) noexcept override;
  void dialogKey(platform::DialogKey key) noexcept override;
  void pageSelected(int control, int page) noexcept override;
  void formResized(int clientWidth, int clientHeight) noexcept override;
  platform::Text listRow(int control, std::size_t row) noexcept override;

  void ClickButton(int index);

  TApplication& app_;
  platform::FormDef def_;
  std::vector<TControl*> controls_;
  std::vector<platform::Rect> bounds_;
  int clientWidth_;
  int clientHeight_;
  bool visible_ = false;
  platform::WindowState state_ = platform::WindowState::Normal;
  std::unique_ptr<platform::NativeForm> native_;
  bool created_ = false;
};

}  // namespace zanto

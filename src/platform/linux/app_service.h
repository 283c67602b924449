// One Zanto per desktop session, and the desktop's way in: the application's well-known
// name on the session bus, owned by the running Zanto, with org.freedesktop.Application
// exported under it (what launchers use for an entry with DBusActivatable=true and for
// the entry's actions).
//
// A start first asks for the name. Whoever already holds it is the session's Zanto: the
// start calls its Activate, passing on the launcher's activation token, and ends. A start
// that gets the name is the session's Zanto; if the bus itself started it, to deliver a
// call from the applications menu, that first call is the start: an Activate is nothing
// more, an action is carried out once the program runs, and "exit" ends the process before
// it has shown or read anything. With no session bus at all the program runs alone.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QEventLoop;

namespace zanto::platform::linux_desktop {

inline constexpr char kAppId[] = "org.example.zanto.Zanto";
inline constexpr char kAppPath[] = "/org/example/zanto/Zanto";

// A request that reached the running program: a start or one of the tray menu's commands
// (a value of platform::handover), with the launcher's activation token where it sent one.
struct HandOverRequest {
  std::uintptr_t what = 0;
  QString activationToken;  // Wayland's xdg-activation token
  QString startupId;        // X11's startup notification id
};

// The command an action of the desktop entry stands for; nothing for an unknown action.
std::optional<std::uintptr_t> HandOverOfAction(const QString& action);

class AppService final : public QDBusVirtualObject {
 public:
  using Deliver = std::function<void(const HandOverRequest&)>;
  explicit AppService(Deliver deliver);
  ~AppService() override;
  AppService(const AppService&) = delete;
  AppService& operator=(const AppService&) = delete;

  // WindowSystem::handOverToRunning.
  bool HandOver();

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
  QString introspect(const QString& path) const override;

 private:
  enum class First { None, Start, Exit, Command };
  First AwaitFirstCall();

  Deliver deliver_;
  bool exported_ = false;
  bool owner_ = false;
  QEventLoop* awaiting_ = nullptr;  // the bus started us and its call has not come yet
  std::optional<HandOverRequest> first_;
};

}  // namespace zanto::platform::linux_desktop

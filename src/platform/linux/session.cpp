#include "platform/linux/session.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QSessionManager>
#include <cstdlib>

namespace zanto::platform::linux_desktop {

namespace {

const QString kManager = QStringLiteral("org.gnome.SessionManager");
const QString kManagerPath = QStringLiteral("/org/gnome/SessionManager");
const QString kClientInterface = QStringLiteral("org.gnome.SessionManager.ClientPrivate");
constexpr int kCallTimeoutMs = 2000;

}  // namespace

sigset_t Session::BlockSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGIO}) sigaddset(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return set;
}

Session::Session(SessionEnd& end, const sigset_t& blocked) : end_(end) {
  // A descriptor rather than a handler: the signal is read in the message loop like any
  // other event, with nothing shared between a handler and the program.
  signalFd_ = ::signalfd(-1, &blocked, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(signalFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { OnSignal(); });
  }
  RegisterWithGnome();
  // An X session manager's questions reach the application object. A tray program is
  // started by the desktop's autostart, not restored by the session: never restarted.
  auto noRestart = [](QSessionManager& manager) {
    manager.setRestartHint(QSessionManager::RestartNever);
  };
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this, noRestart](QSessionManager& m) {
    noRestart(m);
    if (!end_.QueryEndSession()) m.cancel();
  });
  connect(qApp, &QGuiApplication::saveStateRequest, this, noRestart);
  // Its "die" arrives as Qt's quit, which would first ask every window to close: the main
  // window's close is the program's question, which says no until Exit is chosen. This
  // program never asks Qt to quit (see LinuxDesktop::quit), so a quit is the session's end.
  qApp->installEventFilter(this);
}

bool Session::eventFilter(QObject* watched, QEvent* event) {
  if (watched == qApp && event->type() == QEvent::Quit) {
    end_.EndSession(true);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

Session::~Session() {
  qApp->removeEventFilter(this);
  if (!client_.isEmpty()) {
    QDBusMessage call = QDBusMessage::createMethodCall(kManager, kManagerPath, kManager,
                                                       QStringLiteral("UnregisterClient"));
    call << QVariant::fromValue(QDBusObjectPath(client_));
    QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
  }
  notifier_.reset();
  if (signalFd_ >= 0) ::close(signalFd_);
}

void Session::OnSignal() {
  bool ending = false;
  signalfd_siginfo info{};
  while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
    if (info.ssi_signo != SIGIO) ending = true;  // a lease break only says a writer waits
  if (ending) end_.EndSession(true);
}

void Session::RegisterWithGnome() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kManager)) return;
  // A program the session started passes on the identifier it was started with, once.
  QString startup = QString::fromLocal8Bit(std::getenv("DESKTOP_AUTOSTART_ID"));
  ::unsetenv("DESKTOP_AUTOSTART_ID");
  QDBusMessage call = QDBusMessage::createMethodCall(kManager, kManagerPath, kManager,
                                                     QStringLiteral("RegisterClient"));
  call << QStringLiteral("zanto") << startup;
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
  client_ = reply.arguments().front().value<QDBusObjectPath>().path();
  if (client_.isEmpty()) return;
  bus.connect(kManager, client_, kClientInterface, QStringLiteral("QueryEndSession"), this,
              SLOT(OnQueryEndSession(uint)));
  bus.connect(kManager, client_, kClientInterface, QStringLiteral("EndSession"), this,
              SLOT(OnEndSession(uint)));
  bus.connect(kManager, client_, kClientInterface, QStringLiteral("CancelEndSession"), this,
              SLOT(OnCancelEndSession()));
  bus.connect(kManager, client_, kClientInterface, QStringLiteral("Stop"), this, SLOT(OnStop()));
}

void Session::Respond(bool ok) {
  QDBusMessage call = QDBusMessage::createMethodCall(kManager, client_, kClientInterface,
                                                     QStringLiteral("EndSessionResponse"));
  call << ok << (ok ? QString() : QStringLiteral("Zanto is busy"));
  // Waited for: the answer must leave before the program may end.
  QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
}

void Session::OnQueryEndSession(uint) {
  Respond(end_.QueryEndSession());
}

void Session::OnEndSession(uint) {
  // The icon is gone before the session manager hears that the program is done.
  end_.EndSession(true);
  Respond(true);
  client_.clear();  // the session ends: nothing to unregister
}

void Session::OnCancelEndSession() {
  end_.EndSession(false);
}

void Session::OnStop() {
  end_.EndSession(true);
  client_.clear();
}

}  // namespace zanto::platform::linux_desktop

// The end of the desktop session, however it is announced: GNOME's session manager asks
// its registered clients over D-Bus (org.gnome.SessionManager, ClientPrivate
// QueryEndSession and EndSession); the X session managers of KDE, XFCE and LXQt ask through
// Qt (XSMP: commit data, then die); and a session that asks nobody ends its programs with
// SIGTERM (SIGINT and SIGHUP from a terminal mean the same). All of them lead to the
// session-end messages of the Windows shell, so that the program takes its icon away and
// ends as it does there.
#pragma once

#include <signal.h>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

namespace zanto::platform::linux_desktop {

class SessionEnd {
 public:
  virtual ~SessionEnd() = default;
  // WM_QUERYENDSESSION to every top-level window: true when all of them agree.
  virtual bool QueryEndSession() = 0;
  // WM_ENDSESSION to every top-level window; when the session really ends, the program's
  // message loop ends too, whatever the windows did.
  virtual void EndSession(bool ending) = 0;
};

class Session final : public QObject {
  Q_OBJECT

 public:
  // The signals that end the program, plus SIGIO (see posix_files.h), blocked in every
  // thread and read from a descriptor instead: call before any thread starts.
  static sigset_t BlockSignals();

  Session(SessionEnd& end, const sigset_t& blocked);
  ~Session() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void OnQueryEndSession(uint flags);
  void OnEndSession(uint flags);
  void OnCancelEndSession();
  void OnStop();

 private:
  void OnSignal();
  void Respond(bool ok);
  void RegisterWithGnome();

  SessionEnd& end_;
  int signalFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  QString client_;  // our client object at GNOME's session manager
};

}  // namespace zanto::platform::linux_desktop

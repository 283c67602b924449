// The Linux desktop's translations between the notification area's vocabulary and the
// freedesktop services: what a user sees in a host's menu and what a notification
// server's signals mean to the tray component.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codes.h"
#include "platform/linux/app_service.h"
#include "platform/linux/dbus_types.h"
#include "platform/linux/tray_translation.h"
#include "platform/linux/user_quotes.h"
#include "platform/linux/x11_activation.h"

namespace zanto::platform::linux_desktop {
namespace {

TEST(MenuLabel, AccessKeysAndLiteralMarks) {
  EXPECT_EQ(MenuLabel("&Tell me more, Zanto!"), "_Tell me more, Zanto!");
  EXPECT_EQ(MenuLabel("About &Zanto..."), "About _Zanto...");
  EXPECT_EQ(MenuLabel("E&xit"), "E_xit");
  // What is literal in the caption stays literal in the label.
  EXPECT_EQ(MenuLabel("Fish && Chips"), "Fish & Chips");
  EXPECT_EQ(MenuLabel("snake_case"), "snake__case");
  EXPECT_EQ(MenuLabel("&&_&a"), "&___a");
  EXPECT_EQ(MenuLabel("Trailing &"), "Trailing ");
  EXPECT_EQ(MenuLabel(""), "");
}

TEST(BalloonIcon, NamesByKind) {
  EXPECT_EQ(BalloonIconName(niif::Info), "dialog-information");
  EXPECT_EQ(BalloonIconName(niif::Warning), "dialog-warning");
  EXPECT_EQ(BalloonIconName(niif::Error), "dialog-error");
  EXPECT_EQ(BalloonIconName(niif::None), "");
  // Flags above the kind (sound, large icon) do not change it.
  EXPECT_EQ(BalloonIconName(niif::Info | 0x10), "dialog-information");
}

TEST(EscapeMarkup, QuoteStaysText) {
  EXPECT_EQ(EscapeMarkup("a < b && c > d"), "a &lt; b &amp;&amp; c &gt; d");
  EXPECT_EQ(EscapeMarkup("<b>not bold</b>"), "&lt;b&gt;not bold&lt;/b&gt;");
  EXPECT_EQ(EscapeMarkup("plain"), "plain");
}

TEST(BalloonTracker, ServerSignalsBecomeBalloonCodes) {
  BalloonTracker t;
  EXPECT_EQ(t.ReplacesId(), 0u);
  t.Shown(7);
  EXPECT_EQ(t.ReplacesId(), 7u) << "the next balloon replaces the one on screen";
  EXPECT_EQ(t.Closed(7, 1), nin::BalloonTimeout) << "expired";
  EXPECT_EQ(t.ReplacesId(), 0u) << "a closed notification is replaced by none";

  t.Shown(8);
  EXPECT_EQ(t.Closed(8, 2), nin::BalloonHide) << "dismissed by the user";
  t.Shown(9);
  EXPECT_EQ(t.Closed(9, 4), nin::BalloonHide) << "closed for a reason not given";
  t.Shown(10);
  EXPECT_EQ(t.Closed(10, 3), std::nullopt) << "closed at a program's request";
}

TEST(BalloonTracker, ClickIsReportedOnceWithoutTheCloseAfterIt) {
  BalloonTracker t;
  t.Shown(5);
  EXPECT_EQ(t.ActionInvoked(5, "other"), std::nullopt) << "only the default action is a click";
  EXPECT_EQ(t.ActionInvoked(5, "default"), nin::BalloonUserClick);
  EXPECT_EQ(t.Closed(5, 2), std::nullopt) << "the server closes what was clicked";
  // The next balloon is reported as usual.
  t.Shown(6);
  EXPECT_EQ(t.Closed(6, 2), nin::BalloonHide);
}

TEST(BalloonTracker, SignalsAboutOtherNotificationsAreNotOurs) {
  BalloonTracker t;
  EXPECT_EQ(t.ActionInvoked(0, "default"), std::nullopt);
  EXPECT_EQ(t.Closed(0, 1), std::nullopt);
  t.Shown(3);
  EXPECT_EQ(t.ActionInvoked(4, "default"), std::nullopt);
  EXPECT_EQ(t.Closed(4, 1), std::nullopt);
  EXPECT_EQ(t.ReplacesId(), 3u) << "ours is still on screen";
}

TEST(BalloonTracker, WithdrawnBalloonSaysNothingMore) {
  BalloonTracker t;
  EXPECT_EQ(t.Withdraw(), std::nullopt) << "nothing on screen, nothing to close";
  t.Shown(11);
  EXPECT_EQ(t.Withdraw(), 11u);
  EXPECT_EQ(t.Withdraw(), std::nullopt) << "closed once";
  EXPECT_EQ(t.Closed(11, 3), std::nullopt);
  EXPECT_EQ(t.Closed(11, 2), std::nullopt);
  EXPECT_EQ(t.ReplacesId(), 0u);

  t.Shown(12);
  t.ActionInvoked(12, "default");
  t.Reset();  // the server went away
  EXPECT_EQ(t.ReplacesId(), 0u);
  t.Shown(1);  // a new server counts from 1 again
  EXPECT_EQ(t.Closed(1, 1), nin::BalloonTimeout) << "the old click is forgotten";
}

// Hosts read these by their D-Bus signatures; one wrong letter and the icon or its menu
// is not shown at all.
TEST(DBusTypes, SignaturesHostsExpect) {
  RegisterDBusTypes();
  auto signature = [](const auto& value) {
    QDBusArgument arg;
    arg << value;
    return arg.currentSignature().toStdString();
  };
  EXPECT_EQ(signature(DBusImageList{{16, 16, QByteArray(16 * 16 * 4, '\0')}}), "a(iiay)");
  EXPECT_EQ(signature(DBusToolTip{}), "(sa(iiay)ss)");
  DBusMenuLayout root;
  root.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
  root.children.push_back({3, {{QStringLiteral("label"), QStringLiteral("_Settings...")}}, {}});
  EXPECT_EQ(signature(root), "(ia{sv}av)");
  EXPECT_EQ(signature(DBusMenuItemList{{0, {}}}), "a(ia{sv})");
  EXPECT_EQ(signature(DBusMenuItemKeysList{{0, {}}}), "a(ias)");
}

// The user's own quotes file lies where the XDG base directories put a program's settings.
TEST(UserQuotesPath, ConfigHomeFirstThenHome) {
  EXPECT_EQ(UserQuotesPath("/home/ann/conf", "/home/ann"), "/home/ann/conf/zanto/quotes.txt");
  EXPECT_EQ(UserQuotesPath(nullptr, "/home/ann"), "/home/ann/.config/zanto/quotes.txt");
  EXPECT_EQ(UserQuotesPath("", "/home/ann"), "/home/ann/.config/zanto/quotes.txt")
      << "set but empty counts as unset";
  EXPECT_EQ(UserQuotesPath("conf", "/home/ann"), "/home/ann/.config/zanto/quotes.txt")
      << "a relative XDG_CONFIG_HOME is ignored, not taken from the working folder";
  EXPECT_EQ(UserQuotesPath("~/conf", "/home/ann"), "/home/ann/.config/zanto/quotes.txt")
      << "no shell expands the tilde for us";
}

TEST(UserQuotesPath, TrailingSlashesAndTheRoot) {
  EXPECT_EQ(UserQuotesPath("/conf//", nullptr), "/conf/zanto/quotes.txt");
  EXPECT_EQ(UserQuotesPath(nullptr, "/home/ann/"), "/home/ann/.config/zanto/quotes.txt");
  EXPECT_EQ(UserQuotesPath("/", nullptr), "/zanto/quotes.txt");
  EXPECT_EQ(UserQuotesPath(nullptr, "/"), "/.config/zanto/quotes.txt");
}

TEST(UserQuotesPath, NoAbsoluteFolderNoUserFile) {
  EXPECT_EQ(UserQuotesPath(nullptr, nullptr), "");
  EXPECT_EQ(UserQuotesPath("", ""), "");
  EXPECT_EQ(UserQuotesPath("relative", "also/relative"), "")
      << "never a quotes file relative to wherever the program was started";
}

// A desktop file's groups, key by key, as the desktop reads them.
std::map<std::string, std::map<std::string, std::string>> ReadDesktopFile(const std::string& name) {
  std::ifstream file(std::string(ZANTO_LINUX_RES) + "/" + name);
  std::map<std::string, std::map<std::string, std::string>> groups;
  std::string line, group;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      group = line.substr(1, line.size() - 2);
      groups[group];
    } else if (const auto eq = line.find('='); eq != std::string::npos) {
      groups[group][line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return groups;
}

TEST(DesktopEntry, ItsActionsAreTheTrayMenusCommandsOnce) {
  const auto entry = ReadDesktopFile(std::string(kAppId) + ".desktop");
  ASSERT_TRUE(entry.contains("Desktop Entry")) << "no desktop entry named after the application";
  const auto& main = entry.at("Desktop Entry");
  EXPECT_EQ(main.at("DBusActivatable"), "true");
  std::set<std::uintptr_t> commands;
  std::stringstream actions(main.at("Actions"));
  for (std::string action; std::getline(actions, action, ';');) {
    const std::optional<std::uintptr_t> what = HandOverOfAction(QString::fromStdString(action));
    ASSERT_TRUE(what) << "the program does not know the action " << action;
    EXPECT_TRUE(commands.insert(*what).second) << action << " twice";
    EXPECT_TRUE(entry.contains("Desktop Action " + action)) << action << " has no group";
  }
  EXPECT_EQ(commands, (std::set<std::uintptr_t>{handover::TellMeMore, handover::Settings,
                                                handover::About, handover::Exit}));
  // A start is the entry itself, not an action of it.
  EXPECT_FALSE(HandOverOfAction(QStringLiteral("start")));
  EXPECT_FALSE(HandOverOfAction(QString()));
}

TEST(DesktopEntry, TheBusStartsTheProgramByItsName) {
  const auto service = ReadDesktopFile(std::string(kAppId) + ".service");
  ASSERT_TRUE(service.contains("D-BUS Service"));
  EXPECT_EQ(service.at("D-BUS Service").at("Name"), kAppId);
  EXPECT_EQ(service.at("D-BUS Service").at("Exec"), "/usr/bin/zanto");
}

TEST(StartupIdTime, TheUsersTimeFromTheLaunchersId) {
  EXPECT_EQ(StartupIdTime("gnome-shell-1234-host-zanto-1_TIME5631927"), 5631927u);
  EXPECT_EQ(StartupIdTime("kwin;1700000000;123456;42_TIME4294967295"), 4294967295u);
  // The last mark counts: a launcher's own name may hold one.
  EXPECT_EQ(StartupIdTime("my_TIMEr_TIME77"), 77u);
  // No time, or none that a server could have said: there is none to name.
  EXPECT_EQ(StartupIdTime("xdg-launch-42"), 0u);
  EXPECT_EQ(StartupIdTime("id_TIME"), 0u);
  EXPECT_EQ(StartupIdTime("id_TIME12ab"), 0u);
  EXPECT_EQ(StartupIdTime("id_TIME-5"), 0u);
  EXPECT_EQ(StartupIdTime("id_TIME4294967296"), 0u);
  EXPECT_EQ(StartupIdTime(""), 0u);
}

}  // namespace
}  // namespace zanto::platform::linux_desktop

// The whole program as main() builds it, in this process, on a desktop of its own: Xvfb, a
// private session bus, a private system bus with just enough of logind, its own home folder.
// Each test is one way a user meets it: the language of every text, the missing tray, each way
// out.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <csignal>

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/Application.h"
#include "app/views/DesktopPresenter.h"
#include "core/L10n.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

// logind's manager and one session: enough for the program to watch it.
class FakeLogind : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() == "GetSession") {
      asked = true;
      connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath("/org/freedesktop/login1/session/_1"))));
    } else {
      connection.send(message.createReply(QVariant::fromValue(QVariantMap{{"Active", true}, {"State", "active"}})));
    }
    return true;
  }
  QString introspect(const QString&) const override { return {}; }
  bool asked = false;
};

class DesktopTest : public ::testing::Test {
 protected:
  // Before the application exists: every variable the program reads at start.
  static void SetUpTestSuite() {
    display_ = new testing::PrivateDisplay;
    session_ = new testing::PrivateBus;
    system_ = new testing::PrivateBus;
    home_ = new QTemporaryDir;
    if (display_->display().isEmpty() || !session_->running() || !system_->running()) return;
    qputenv("DISPLAY", display_->display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DBUS_SESSION_BUS_ADDRESS", session_->address().toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", system_->address().toUtf8());
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const QString folder = home_->filePath(name);
      QDir().mkpath(folder);
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      qputenv(name, folder.toUtf8());
    }
    logindBus_ = new QDBusConnection(system_->connect("logind"));
    logindBus_->registerVirtualObject("/org/freedesktop/login1", &logind_, QDBusConnection::SubPath);
    logindBus_->registerService("org.freedesktop.login1");
    testing::ensureApplication();
  }
  void SetUp() override {
    if (display_->display().isEmpty() || !session_->running() || !system_->running())
      GTEST_SKIP() << "Xvfb or dbus-daemon could not be started";
  }
  void TearDown() override { application_.reset(); }

  // The program, started and past its first sample.
  void start() {
    application_ = std::make_unique<Application>(true);
    bool applied = false;
    QObject::connect(&application_->controller(), &AppController::sampleApplied, [&] { applied = true; });
    application_->start({});
    ASSERT_TRUE(testing::waitUntil([&] { return applied; }));
  }
  nlohmann::json health() const {
    QFile file(home_->filePath("XDG_DATA_HOME/Hollin/health.json"));
    return file.open(QIODevice::ReadOnly) ? nlohmann::json::parse(file.readAll().toStdString(), nullptr, false)
                                          : nlohmann::json();
  }
  // Runs the event loop with `way` out triggered once it runs; how long the way out took.
  std::chrono::milliseconds quitBy(const std::function<void()>& way) {
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
      clock.start();
      way();
    });
    // Nothing may hang the test: a loop still running after 5 s ends with status 99.
    QTimer::singleShot(5s, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    application_.reset();  // the program's own ending is part of the way out
    return std::chrono::milliseconds(clock.elapsed());
  }

  static inline testing::PrivateDisplay* display_ = nullptr;
  static inline testing::PrivateBus* session_ = nullptr;
  static inline testing::PrivateBus* system_ = nullptr;
  static inline QTemporaryDir* home_ = nullptr;
  static inline QDBusConnection* logindBus_ = nullptr;
  static inline FakeLogind logind_;
  std::unique_ptr<Application> application_;
};

// Every text the program shows, values of the tables aside.
QStringList shownTexts() {
  QStringList texts;
  for (QWidget* widget : QApplication::allWidgets()) {
    texts << widget->windowTitle() << widget->toolTip();
    if (auto* label = qobject_cast<QLabel*>(widget)) texts << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << button->text();
    if (auto* menu = qobject_cast<QMenu*>(widget))
      for (QAction* action : menu->actions()) texts << menu->title() << action->text() << action->toolTip();
    if (auto* table = qobject_cast<QTableWidget*>(widget))
      for (int column = 0; column < table->columnCount(); ++column) texts << table->horizontalHeaderItem(column)->text();
  }
  texts.removeAll(QString());
  return texts;
}

void expectOnlyLanguage(const std::string& language, const QRegularExpression& other) {
  if (L10n::language() != language) GTEST_SKIP() << "this process already speaks " << L10n::language();
  const QStringList texts = shownTexts();
  EXPECT_GT(texts.size(), 60) << "the window and both menus are there";
  for (const QString& text : texts) EXPECT_FALSE(other.match(text).hasMatch()) << text.toStdString();
}

TEST_F(DesktopTest, AnEnglishDesktopShowsNoJapanese) {
  qputenv("LANGUAGE", "en_GB");
  start();
  ASSERT_TRUE(application_->desktop()->window()->isVisible()) << "no tray: the window stands in";
  expectOnlyLanguage("en", QRegularExpression("[\\p{Han}\\p{Hiragana}\\p{Katakana}]"));
}

TEST_F(DesktopTest, AJapaneseDesktopShowsNoEnglish) {
  qputenv("LANGUAGE", "ja_JP");
  start();
  // Two English words in a row; acronyms and units (CPU, SSD, 16 GB, UID 1000) are no sentence.
  expectOnlyLanguage("ja", QRegularExpression("\\b[A-Za-z]{2,} [A-Za-z]{2,}\\b"));
}

TEST_F(DesktopTest, WithoutATrayTheWindowStandsInUntilOneAppears) {
  if (!testing::installed("trayer")) GTEST_SKIP() << "trayer is not installed";
  start();
  EXPECT_TRUE(application_->desktop()->window()->isVisible());
  EXPECT_EQ(health()["menuBarIconVisible"], false);
  testing::DesktopProgram tray("trayer", {"--edge", "top"}, display_->display(), session_->address());
  ASSERT_TRUE(tray.started());
  EXPECT_TRUE(testing::waitUntil([&] { return health()["menuBarIconVisible"] == true; }, 8s))
      << "the icon once a tray appears";
  EXPECT_TRUE(application_->desktop()->statusMenu()->tray()->isVisible());
}

TEST_F(DesktopTest, QuitFromTheStatusMenuEndsAtOnce) {
  start();
  EXPECT_LT(quitBy([&] { application_->desktop()->statusMenu()->quitRow()->trigger(); }), 1s);
}

TEST_F(DesktopTest, CtrlQInTheOpenWindowEndsAtOnce) {
  start();
  AnalysisWindow* window = application_->desktop()->window();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_LT(quitBy([&] { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); }), 1s);
}

TEST_F(DesktopTest, SigtermAndSigintEndAtOnceWithTheWindowOpen) {
  for (int signal : {SIGTERM, SIGINT}) {
    start();
    ASSERT_TRUE(application_->desktop()->window()->isVisible());
    EXPECT_LT(quitBy([signal] { std::raise(signal); }), 1s) << signal;
  }
}

TEST_F(DesktopTest, LogOutEndsAtOnce) {
  start();
  ASSERT_TRUE(testing::waitUntil([] { return logind_.asked; })) << "the program watches logind";
  EXPECT_LT(quitBy([] {
              auto signal = QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                                       "PrepareForShutdown");
              signal << true;
              logindBus_->send(signal);
            }),
            1s);
}

}  // namespace
}  // namespace hollin

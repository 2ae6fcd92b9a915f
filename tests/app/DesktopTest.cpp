// The whole program as main() builds it, in this process, on a desktop of its own: Xvfb, a
// private session bus, a private system bus with just enough of logind, its own home folder.
// Each test is one way a user meets it: the language of every text, the missing tray, each way
// out.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <QMessageBox>
#include <QSysInfo>
#include <QUrlQuery>

#include <csignal>
#include <fstream>
#include <regex>

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/Application.h"
#include "app/support/SupportActions.h"
#include "app/views/DesktopPresenter.h"
#include "app/views/SetupGuide.h"
#include "core/help/HelpDocument.h"
#include "core/L10n.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

// A desktop of the test program's own: an X display, a session bus, a system bus with just
// enough of logind, a home folder.
struct Desktop {
  bool ready() const { return !display.display().isEmpty() && session.running() && system.running(); }
  testing::PrivateDisplay display;
  testing::PrivateBus session, system;
  QTemporaryDir home;
  testing::FakeLogind logind{"/org/freedesktop/login1/session/_1"};
};

class DesktopTest : public ::testing::Test {
 protected:
  // Before the application exists: every variable the program reads at start.
  static void SetUpTestSuite() {
    desktop_ = std::make_unique<Desktop>();
    if (!desktop_->ready()) return;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", desktop_->system.address().toUtf8());
    const QProcessEnvironment home = testing::homeEnvironment(desktop_->home);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) qputenv(name, home.value(name).toUtf8());
    desktop_->logind.serve(desktop_->system.connect("logind"));
    testing::useDesktop(desktop_->display.display(), desktop_->session.address());
    markGuideOffered(true);
  }
  // Whether starts find the first-launch guide already shown once.
  static void markGuideOffered(bool offered) {
    QFile::remove(settingsFile());
    if (offered) {
      QDir().mkpath(QFileInfo(settingsFile()).path());
      std::ofstream(settingsFile().toStdString()) << "[General]\nsetupGuideOffered=true\n";
    }
  }
  static QString settingsFile() { return desktop_->home.filePath("XDG_CONFIG_HOME/Hollin/Hollin.ini"); }
  static void TearDownTestSuite() { desktop_.reset(); }  // its servers end with the test program
  void SetUp() override { if (!desktop_->ready()) GTEST_SKIP() << "Xvfb or dbus-daemon could not be started"; }
  void TearDown() override { application_.reset(); }

  // The program, started and past its first sample.
  void start(bool configuring = false) {
    application_ = std::make_unique<Application>(true, configuring);
    QSignalSpy applied(&application_->controller(), &AppController::sampleApplied);
    application_->start({});
    ASSERT_TRUE(testing::waitUntil([&] { return !applied.isEmpty(); }));
  }
  nlohmann::json health() const { return testing::readJson(desktop_->home.filePath("XDG_DATA_HOME/Hollin/health.json")); }
  // Runs the event loop with `way` out triggered once it runs; how long the way out took.
  std::chrono::milliseconds quitBy(const std::function<void()>& way) {
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] { clock.start(); way(); });
    // Nothing may hang the test: a loop still running after 5 s ends with status 99 (the timer
    // goes with the program, so a later run never meets it).
    QTimer::singleShot(5s, application_.get(), [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    application_.reset();  // the program's own ending is part of the way out
    return std::chrono::milliseconds(clock.elapsed());
  }

  // Started under LANGUAGE=`variable`, every text the program shows, values of the tables aside, is
  // in `language`: none matches `other`.
  void expectOnlyLanguage(const char* variable, const std::string& language, const QRegularExpression& other) {
    qputenv("LANGUAGE", variable);
    start();
    if (L10n::language() != language) GTEST_SKIP() << "this process already speaks " << L10n::language();
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
    EXPECT_GT(texts.size(), 60) << "the window and both menus are there";
    for (const QString& text : texts) EXPECT_FALSE(other.match(text).hasMatch()) << text.toStdString();
  }

  // Runs `open`, answering each alert it shows with the button titled as the next of `answers`;
  // the titles of the alerts answered. An alert without such a button is closed after 10 s.
  static QStringList answerAlerts(const std::function<void()>& open, QStringList answers) {
    QStringList titles;
    QElapsedTimer waited;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      const QList<QAbstractButton*> buttons = box ? box->buttons() : QList<QAbstractButton*>();
      const auto wanted = std::ranges::find_if(buttons, [&](auto* b) { return !answers.isEmpty() && b->text() == answers.front(); });
      if (wanted != buttons.end()) {
        titles << box->text();
        answers.removeFirst();
        waited.restart();
        (*wanted)->click();
      } else if (box && waited.hasExpired(10'000)) {
        box->done(-1);
      }
    });
    waited.start();
    poll.start();
    open();
    return titles;
  }

  // The text of `message` as the program renders it.
  static QString rendered(const LocalizedMessage& message) { return QString::fromStdString(L10n::text(message)); }

  static inline std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<Application> application_;
};

TEST_F(DesktopTest, AnEnglishDesktopShowsNoJapanese) {
  expectOnlyLanguage("en_GB", "en", QRegularExpression("[\\p{Han}\\p{Hiragana}\\p{Katakana}]"));
}

TEST_F(DesktopTest, AJapaneseDesktopShowsNoEnglish) {
  // Two English words in a row; acronyms and units (CPU, SSD, 16 GB, UID 1000) are no sentence.
  expectOnlyLanguage("ja_JP", "ja", QRegularExpression("\\b[A-Za-z]{2,} [A-Za-z]{2,}\\b"));
}

TEST_F(DesktopTest, WithoutATrayTheWindowStandsInUntilOneAppears) {
  if (!testing::installed("trayer")) GTEST_SKIP() << "trayer is not installed";
  start();
  EXPECT_TRUE(application_->desktop()->window()->isVisible());
  EXPECT_EQ(health()["menuBarIconVisible"], false);
  testing::DesktopProgram tray("trayer", {"--edge", "top"}, desktop_->display.display(), desktop_->session.address());
  ASSERT_TRUE(tray.started());
  EXPECT_TRUE(testing::waitUntil([&] { return health()["menuBarIconVisible"] == true; }, 8s))
      << "the icon once a tray appears";
  EXPECT_TRUE(application_->desktop()->statusMenu()->tray()->isVisible());
}

// Each way out, from the running program with its window open and logind watched: a signal
// reaches the event loop rather than ending the process.
TEST_F(DesktopTest, EveryWayOutEndsAtOnceWithStatusZero) {
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"the status menu", [&] { application_->desktop()->statusMenu()->quitRow()->trigger(); }},
      {"Ctrl+Q", [&] { QTest::keyClick(application_->desktop()->window(), Qt::Key_Q, Qt::ControlModifier); }},
      {"SIGTERM", [] { std::raise(SIGTERM); }},
      {"SIGINT", [] { std::raise(SIGINT); }},
      {"logging out", [] { desktop_->logind.announce("PrepareForShutdown", {true}); }},
  };
  for (const auto& [name, way] : ways) {
    desktop_->logind.asked = false;
    start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(application_->desktop()->window())) << name;
    ASSERT_TRUE(testing::waitUntil([] { return desktop_->logind.asked; })) << "the program watches logind";
    EXPECT_LT(quitBy(way), 1s) << name;
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL) << "the program gone, a signal ends the process again";
  }
}

// The guide on a desktop whose session bus has no notification service and no accessibility
// bus, in a home without an autostart entry: shown by the first ordinary start only, its cards
// follow what they offer, the close box records nothing and the last button finishes it. Then
// the menus: "ヘルプ" opens the help at its start, a row of "状態の見方" at the levels.
TEST_F(DesktopTest, TheFirstStartShowsTheGuideOnceAndTheMenusOpenItAndTheHelp) {
  markGuideOffered(false);
  start(true);
  EXPECT_EQ(application_->setupGuide(), nullptr) << "the set-up command ran first";
  application_.reset();
  start();
  SetupGuide* guide = application_->setupGuide();
  ASSERT_NE(guide, nullptr);
  ASSERT_TRUE(guide->window()->isVisible());
  const auto line = [&](int card) { return guide->statusLabels()[card]->text(); };
  EXPECT_TRUE(testing::waitUntil([&] { return line(0) == "— " + rendered(msg("オフ。システム設定の「通知」で変えられます。")); }))
      << line(0).toStdString();
  EXPECT_EQ(guide->notificationButton()->text(), rendered(msg("システム設定を開く…")));
  EXPECT_EQ(line(1), "— " + rendered(msg("まだです")));
  EXPECT_TRUE(line(2).startsWith("— ")) << line(2).toStdString();

  // The login card writes the autostart entry, and says so.
  const auto button = [&](const LocalizedMessage& title) {
    for (QPushButton* b : guide->window()->findChildren<QPushButton*>())
      if (b->text() == rendered(title)) return b;
    return static_cast<QPushButton*>(nullptr);
  };
  ASSERT_NE(button(msg("自動起動を設定")), nullptr);
  button(msg("自動起動を設定"))->click();
  EXPECT_TRUE(testing::waitUntil([&] { return line(1) == "✓ " + rendered(msg("オン")); })) << line(1).toStdString();
  QFile::remove(desktop_->home.filePath("XDG_CONFIG_HOME/autostart/org.hollin.Hollin.desktop"));

  guide->window()->close();
  application_->showSetup();
  EXPECT_EQ(application_->setupGuide(), guide) << "one guide, shown again";
  EXPECT_TRUE(guide->window()->isVisible());
  EXPECT_TRUE(testing::waitUntil([&] { return line(1) == "— " + rendered(msg("まだです")); })) << "statuses refreshed";

  button(msg("分析を開く"))->click();
  EXPECT_FALSE(guide->window()->isVisible());
  EXPECT_TRUE(application_->desktop()->window()->isVisible());
  application_.reset();
  const QSettings stored(settingsFile(), QSettings::IniFormat);
  EXPECT_TRUE(stored.value("setupGuideCompleted").toBool() && stored.value("setupGuideOffered").toBool());
  start();
  EXPECT_EQ(application_->setupGuide(), nullptr) << "shown by itself once only";

  QMenu* menu = application_->desktop()->statusMenu()->menu();
  const auto row = [&](const LocalizedMessage& title) {
    for (QAction* action : menu->actions())
      if (action->text() == rendered(title)) return action;
    return static_cast<QAction*>(nullptr);
  };
  ASSERT_TRUE(row(msg("ヘルプ")) && row(msg("状態の見方")) && row(msg("状態の見方"))->menu());
  row(msg("ヘルプ"))->trigger();
  HelpWindow* help = application_->desktop()->help();
  ASSERT_TRUE(help && help->isVisible());
  EXPECT_EQ(help->textView()->verticalScrollBar()->value(), 0) << "at the start";
  help->close();
  row(msg("状態の見方"))->menu()->actions().back()->trigger();
  EXPECT_EQ(application_->desktop()->help(), help);
  ASSERT_TRUE(help->currentRow());
  EXPECT_EQ(help->rows()[*help->currentRow()].section, HelpDocument::statusSection);
  row(msg("初回設定の案内…"))->trigger();
  EXPECT_TRUE(application_->setupGuide()->window()->isVisible());
}

TEST_F(DesktopTest, FeedbackOpensInTheMailProgramOrIsCopiedAndNamesNothingOfTheUser) {
  // The desktop's mailto: handler is a mail program of the test's own, which writes down the
  // address it was given.
  const QString received = desktop_->home.filePath("mail-received"), handler = desktop_->home.filePath("mail-handler");
  const QString defaults = desktop_->home.filePath("XDG_CONFIG_HOME/mimeapps.list");
  const QString entry = desktop_->home.filePath("XDG_DATA_HOME/applications/hollin-test-mail.desktop");
  const auto write = [](const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    std::ofstream(path.toStdString()) << text.toStdString();
  };
  write(handler, "#!/bin/sh\nprintf '%s' \"$1\" > '" + received + ".part' && mv '" + received + ".part' '" + received + "'\n");
  QFile::setPermissions(handler, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  write(entry, "[Desktop Entry]\nType=Application\nName=Test Mail\nExec=" + handler + " %u\nMimeType=x-scheme-handler/mailto;\n");
  write(defaults, "[Default Applications]\nx-scheme-handler/mailto=hollin-test-mail.desktop\n");
  start();
  QAction* row = application_->desktop()->statusMenu()->feedbackRow();
  const QString title = rendered(msg("ご意見・不具合を送る")), draft = rendered(msg("メールの下書きを開く"));
  const QString copy = rendered(msg("内容をコピー")), close = rendered(msg("閉じる")), copied = rendered(msg("コピーしました"));

  EXPECT_EQ(answerAlerts([&] { row->trigger(); }, {draft}), QStringList{title});
  ASSERT_TRUE(testing::waitUntil([&] { return QFile::exists(received); }, 10s)) << "the mail program was started";
  const FeedbackReport::Environment environment = application_->feedbackEnvironment();
  EXPECT_EQ(testing::contents(received.toStdString()), FeedbackReport::mailtoURL(environment));

  EXPECT_EQ(answerAlerts([&] { row->trigger(); }, {copy, close}), (QStringList{title, copied}));
  if (testing::installed("xclip")) {
    // Read by another X client, while this program's event loop serves the selection.
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    EXPECT_TRUE(testing::waitUntil([&] { return xclip.state() == QProcess::NotRunning; }));
    EXPECT_EQ(xclip.readAllStandardOutput().toStdString(), FeedbackReport::clipboardText(environment));
  }

  QFile::remove(defaults);
  QFile::remove(entry);
  if (!mailHandlerAvailable()) {
    EXPECT_EQ(answerAlerts([&] { row->trigger(); }, {draft, copy, close}),
              (QStringList{title, rendered(msg("メールの下書きを開けませんでした")), copied}))
        << "no mail program: the text is copied instead";
  }

  // Nothing of the user, the computer's name, its files or what was measured is in any draft.
  const passwd* account = ::getpwuid(::getuid());
  std::vector<std::string> secrets{desktop_->home.path().toStdString(), QSysInfo::machineHostName().toStdString(),
                                   account->pw_name, account->pw_dir};
  for (const ProcessMemory& process : application_->controller().sample()->processes)
    if (process.name.size() >= 5 && QString::fromStdString(process.name).toLower() != "hollin") secrets.push_back(process.name);
  std::erase_if(secrets, [&](const std::string& secret) {
    return secret.size() < 3 || environment.osVersion.find(secret) != std::string::npos ||
           environment.model.find(secret) != std::string::npos;
  });
  ASSERT_GT(secrets.size(), 5u);
  const std::regex measured("[0-9] ?([KMGT]i?B|%|°)");
  for (const std::string language : {"ja", "en"}) {
    FeedbackReport::Environment env = environment;
    env.language = language;
    // The address round-trips through a URL parser: the mail program gets the draft whole.
    const std::string url = FeedbackReport::mailtoURL(env).value_or("");
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    const QUrlQuery query(parsed);
    EXPECT_EQ(parsed.toEncoded().toStdString(), url);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded).toStdString(), FeedbackReport::subject(env));
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded).toStdString(), FeedbackReport::body(env));
    // The clipboard text holds the whole draft: address, subject and body.
    const std::string text = FeedbackReport::clipboardText(env);
    for (const std::string& secret : secrets) EXPECT_EQ(text.find(secret), std::string::npos) << secret << " in\n" << text;
    EXPECT_FALSE(std::regex_search(text, measured)) << text;
  }
}

}  // namespace
}  // namespace hollin

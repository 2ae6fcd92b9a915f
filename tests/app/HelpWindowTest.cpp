// The help window under Xvfb with the guides that ship, in both languages: opened at the levels,
// its find bar, and the text it shows when no guide can be read. Screenshots land in the build
// folder.
#include <gtest/gtest.h>

#include <fstream>

#include <QDir>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "TestSupport.h"
#include "app/views/HelpWindow.h"

namespace hollin {
namespace {

class HelpWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new testing::PrivateDisplay;
    if (!display_->display().isEmpty()) testing::useDesktop(display_->display(), "unix:path=/nonexistent/hollin-test-bus");
  }
  static void TearDownTestSuite() { delete display_; }
  void SetUp() override {
    if (display_->display().isEmpty()) GTEST_SKIP() << "Xvfb could not be started";
  }
  static QString text(const LocalizedMessage& message, const std::string& language) {
    return QString::fromStdString(L10n::render(message, language));
  }
  // The text of the block at the top of the text view's visible part, below the room a jump
  // leaves above a heading.
  static QString topLine(const HelpWindow& window) {
    return window.textView()->cursorForPosition(QPoint(40, 16)).block().text();
  }

  static inline testing::PrivateDisplay* display_ = nullptr;
};

TEST_F(HelpWindowTest, OpensAtTheLevelsAndFindsWordsInBothLanguages) {
  const QString folder = QString(HOLLIN_BINARY_DIR) + "/screenshots";
  QDir().mkpath(folder);
  for (const std::string language : {"ja", "en"}) {
    HelpWindow window(language, {L10n::sourceResourcesDirectory()});
    window.show(HelpDocument::statusSection);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << "shortcuts need the window active";
    EXPECT_EQ(window.windowTitle(), text(msg("ホリンのヘルプ"), language));
    EXPECT_EQ(window.table()->accessibleName(), text(msg("目次"), language));

    const auto current = window.currentRow();
    ASSERT_TRUE(current) << language;
    const HelpWindow::Row& row = window.rows()[*current];
    EXPECT_EQ(row.section, HelpDocument::statusSection) << language;
    EXPECT_EQ(topLine(window), row.title) << language << ": the levels' heading is at the top";
    EXPECT_EQ(window.focusWidget(), window.textView()) << "the text has the keyboard";
    EXPECT_TRUE(window.grab().save(folder + QString("/help-%1.png").arg(language.c_str())));

    // Clicking the first group's line brings it to the top.
    EXPECT_TRUE(window.rows().front().isGroup);
    QTreeWidgetItem* first = window.table()->topLevelItem(0);
    window.table()->setCurrentItem(first);
    EXPECT_EQ(topLine(window), first->text(0)) << language;
    EXPECT_TRUE(window.grab().save(folder + QString("/help-%1-start.png").arg(language.c_str())));

    // Ctrl+F opens the find bar; Enter finds, F3 goes on, a word that is not there is reported.
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(window.findBar()->isVisible());
    const QString word = language == "ja" ? "スワップ" : "swap";
    window.findField()->setText(word);
    QTest::keyClick(window.findField(), Qt::Key_Return);
    const int firstPlace = window.textView()->textCursor().selectionStart();
    EXPECT_EQ(window.textView()->textCursor().selectedText().toLower(), word.toLower());
    QTest::keyClick(&window, Qt::Key_F3);
    EXPECT_GT(window.textView()->textCursor().selectionStart(), firstPlace);
    QTest::keyClick(window.findField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(window.textView()->textCursor().selectionStart(), firstPlace) << "Shift+Enter goes back";
    EXPECT_TRUE(window.findStatus()->text().isEmpty());
    window.findField()->setText("zzqqxx");
    EXPECT_FALSE(window.find(false));
    EXPECT_EQ(window.findStatus()->text(), text(msg("見つかりません"), language));
    QTest::keyClick(window.findField(), Qt::Key_Escape);
    EXPECT_FALSE(window.findBar()->isVisible());
  }
}

TEST_F(HelpWindowTest, AMissingGuideSaysSo) {
  QTemporaryDir empty;
  HelpWindow window("en", {empty.path().toStdString()});
  window.show(HelpDocument::statusSection);
  EXPECT_TRUE(window.rows().empty());
  EXPECT_TRUE(window.grab().save(QString(HOLLIN_BINARY_DIR) + "/screenshots/help-missing-en.png"));
  const QString shown = window.textView()->toPlainText();
  EXPECT_TRUE(shown.startsWith(text(msg("ヘルプを読み込めませんでした"), "en"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(text(
      msg("アプリの中身が欠けているかもしれません。アプリをもう一度入れ直すか、メニューバーの「ご意見・不具合を送る…」からお知らせください。"),
      "en")));

  // A guide put in place meanwhile shows once the window is opened anew, not while it is open.
  ASSERT_TRUE(QDir(empty.path()).mkpath("en.lproj"));
  std::ofstream(empty.filePath("en.lproj/Help.md").toStdString()) << "# Guide\n## Group\n### Section\nText.\n";
  window.show(std::nullopt);
  EXPECT_TRUE(window.rows().empty()) << "the open window keeps what it shows";
  window.close();
  window.show(std::nullopt);
  EXPECT_EQ(window.rows().size(), 2u);
}

}  // namespace
}  // namespace hollin

#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTreeWidget>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/L10n.h"
#include "core/help/HelpDocument.h"

namespace hollin {

// The user guide: a table of contents beside the guide's text, with a find bar (Ctrl+F). The
// guide is read again whenever the window is shown anew, so an edited guide shows at once.
class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  // One line of the table of contents.
  struct Row {
    QString title;
    int start = 0;  // character offset of the heading in the text
    bool isGroup = false;
    std::optional<int> section;  // none for a group heading
  };

  // The guide of `language` is looked for in `folders`, as HelpDocument::load does.
  explicit HelpWindow(std::string language, std::vector<std::filesystem::path> folders = L10n::resourceDirectories(),
                      QWidget* parent = nullptr);

  // Reloads the guide unless the window is on screen, brings it to the front, opens `section`
  // when given, and gives the text the keyboard.
  void show(std::optional<int> section);
  // Scrolls the text so that the row's heading is at the top.
  void jump(std::size_t row);
  // The next (or previous) place of the find bar's text, wrapping around; false when there is none.
  bool find(bool backward);
  void showFindBar();

  QTreeWidget* table() const { return table_; }
  QTextEdit* textView() const { return textView_; }
  const std::vector<Row>& rows() const { return rows_; }
  // The row of the table's current line, or none.
  std::optional<std::size_t> currentRow() const;
  QWidget* findBar() const { return findBar_; }
  QLineEdit* findField() const { return findField_; }
  QLabel* findStatus() const { return findStatus_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString text(const LocalizedMessage& message) const;
  QWidget* buildFindBar();
  void load();
  void render(const HelpDocument& document);
  void renderFailure();
  void addRow(Row row);

  std::string language_;
  std::vector<std::filesystem::path> folders_;
  bool loaded_ = false;
  QTreeWidget* table_ = nullptr;
  QTextEdit* textView_ = nullptr;
  QWidget* findBar_ = nullptr;
  QLineEdit* findField_ = nullptr;
  QLabel* findStatus_ = nullptr;
  std::vector<Row> rows_;
  std::vector<QTreeWidgetItem*> items_;  // the table's line of each row
  QTreeWidgetItem* lastGroup_ = nullptr;
};

}  // namespace hollin

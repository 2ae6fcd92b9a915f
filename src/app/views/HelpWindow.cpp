#include "app/views/HelpWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/views/Typography.h"

namespace hollin {
namespace {

constexpr int hangingIndent = 28;     // bullets and steps: the text starts here, the mark before it
constexpr int lineSpacing = 3;        // between the lines of one paragraph
constexpr int paragraphSpacing = 8;   // after each paragraph, bullet and step
constexpr int groupSpacing = 26;      // above a group heading
constexpr int sectionSpacing = 16;    // above a section heading
constexpr int documentMargin = 24;
constexpr int headingInset = 10;      // room a jump leaves above the heading
constexpr int rowRole = Qt::UserRole;  // a table line's index into the rows

QTextBlockFormat spacedBlock(int above, int below) {
  QTextBlockFormat format;
  format.setTopMargin(above);
  format.setBottomMargin(below);
  format.setLineHeight(lineSpacing, QTextBlockFormat::LineDistanceHeight);
  return format;
}

QTextCharFormat charactersIn(const QFont& font) {
  QTextCharFormat format;
  format.setFont(font);
  return format;
}

}  // namespace

HelpWindow::HelpWindow(std::string language, std::vector<std::filesystem::path> folders, QWidget* parent)
    : QWidget(parent, Qt::Window), language_(std::move(language)), folders_(std::move(folders)) {
  setWindowTitle(text(msg("ホリンのヘルプ")));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  table_ = new QTreeWidget(splitter);
  table_->setObjectName("toc");
  table_->setAccessibleName(text(msg("目次")));
  table_->setColumnCount(1);
  table_->header()->hide();
  table_->setRootIsDecorated(false);
  table_->setItemsExpandable(false);
  table_->setIndentation(16);
  table_->setFont(Typography::body());
  table_->setTextElideMode(Qt::ElideRight);
  table_->setStyleSheet(QStringLiteral("QTreeWidget { padding: 6px 4px; } QTreeWidget::item { padding: 2px; }"));
  auto* right = new QWidget(splitter);
  auto* stack = new QVBoxLayout(right);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(0);
  textView_ = new QTextEdit(right);
  textView_->setAccessibleName(text(msg("ヘルプの本文")));
  textView_->setReadOnly(true);
  textView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  textView_->setFont(Typography::body());
  stack->addWidget(textView_, 1);
  stack->addWidget(buildFindBar());
  splitter->addWidget(table_);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({300, 660});  // the contents take about a third
  layout->addWidget(splitter);
  resize(960, 720);

  const auto jumpToItem = [this](QTreeWidgetItem* item) {
    if (item) jump(item->data(0, rowRole).toULongLong());
  };
  connect(table_, &QTreeWidget::currentItemChanged, this, jumpToItem);
  connect(table_, &QTreeWidget::itemClicked, this, jumpToItem);
  new QShortcut(QKeySequence::Find, this, this, &HelpWindow::showFindBar);
  new QShortcut(QKeySequence(Qt::Key_F3), this, this, [this] { find(false); });
  new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this, this, [this] { find(true); });
  new QShortcut(QKeySequence(Qt::Key_Escape), this, this, [this] {
    findBar_->hide();
    textView_->setFocus();
  });
}

QString HelpWindow::text(const LocalizedMessage& message) const {
  return QString::fromStdString(L10n::render(message, language_));
}

QWidget* HelpWindow::buildFindBar() {
  findBar_ = new QWidget(this);
  auto* row = new QHBoxLayout(findBar_);
  row->setContentsMargins(10, 6, 10, 6);
  row->setSpacing(8);
  findField_ = new QLineEdit(findBar_);
  findField_->setPlaceholderText(text(msg("探す…")));
  findField_->setFont(Typography::body());
  findField_->installEventFilter(this);  // Enter finds the next place, Shift+Enter the previous
  connect(findField_, &QLineEdit::textEdited, this, [this] { findStatus_->clear(); });
  row->addWidget(findField_, 1);
  for (auto [title, backward] : {std::pair{msg("前を探す"), true}, std::pair{msg("次を探す"), false}}) {
    auto* button = new QPushButton(text(title), findBar_);
    button->setFont(Typography::body());
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, [this, backward] { find(backward); });
    row->addWidget(button);
  }
  findStatus_ = new QLabel(findBar_);
  findStatus_->setFont(Typography::note());
  row->addWidget(findStatus_);
  findBar_->hide();
  return findBar_;
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == findField_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      find(key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void HelpWindow::showFindBar() {
  findBar_->show();
  findField_->setFocus();
  findField_->selectAll();
}

bool HelpWindow::find(bool backward) {
  const QString wanted = findField_->text();
  if (wanted.isEmpty()) return false;
  const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  bool found = textView_->find(wanted, flags);
  if (!found) {
    // Once more from the other end, so the search goes round.
    const QTextCursor kept = textView_->textCursor();
    textView_->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    found = textView_->find(wanted, flags);
    if (!found) textView_->setTextCursor(kept);
  }
  findStatus_->setText(found ? QString() : text(msg("見つかりません")));
  return found;
}

void HelpWindow::show(std::optional<int> section) {
  if (!loaded_ || !isVisible()) load();
  QWidget::show();
  raise();
  activateWindow();
  if (section)
    for (std::size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i].section == section) {
        // The jump is made here, once, whether or not the line was already the current one.
        const QSignalBlocker quiet(table_);
        table_->setCurrentItem(items_[i]);
        jump(i);
        break;
      }
  textView_->setFocus();
}

std::optional<std::size_t> HelpWindow::currentRow() const {
  if (const QTreeWidgetItem* item = table_->currentItem()) return item->data(0, rowRole).toULongLong();
  return std::nullopt;
}

void HelpWindow::jump(std::size_t row) {
  if (row >= rows_.size()) return;
  QTextDocument* document = textView_->document();
  // Laid out to the end first, so the scroll range is the whole guide's.
  QAbstractTextDocumentLayout* layout = document->documentLayout();
  layout->blockBoundingRect(document->lastBlock());
  const QRectF heading = layout->blockBoundingRect(document->findBlock(rows_[row].start));
  textView_->verticalScrollBar()->setValue(qRound(heading.top()) - headingInset);
}

void HelpWindow::load() {
  table_->clear();
  items_.clear();
  lastGroup_ = nullptr;
  rows_.clear();
  textView_->clear();
  textView_->document()->setDocumentMargin(documentMargin);
  findStatus_->clear();
  if (const auto document = HelpDocument::load(language_, folders_)) render(*document);
  else renderFailure();
  loaded_ = true;
}

void HelpWindow::addRow(Row row) {
  // Sections sit under their group's line; a section before any group stands alone.
  auto* item = row.isGroup || !lastGroup_ ? new QTreeWidgetItem(table_) : new QTreeWidgetItem(lastGroup_);
  item->setText(0, row.title);
  item->setToolTip(0, row.title);
  item->setData(0, rowRole, QVariant::fromValue<qulonglong>(rows_.size()));
  if (row.isGroup) {
    item->setFont(0, Typography::bodyEmphasis());
    lastGroup_ = item;
  }
  items_.push_back(item);
  rows_.push_back(std::move(row));
}

void HelpWindow::render(const HelpDocument& document) {
  QTextCursor cursor(textView_->document());
  bool first = true;
  // A new block in `format`, written in `font`; the first one reuses the document's empty block.
  const auto begin = [&](QTextBlockFormat format, const QFont& font) {
    if (first) format.setTopMargin(0);
    if (first) cursor.setBlockFormat(format);
    else cursor.insertBlock(format);
    cursor.setBlockCharFormat(charactersIn(font));
    cursor.setCharFormat(charactersIn(font));
    first = false;
  };
  const auto write = [&](const std::string& line) {
    for (const auto& span : HelpDocument::spans(line))
      cursor.insertText(QString::fromStdString(span.text),
                        charactersIn(span.bold ? Typography::bodyEmphasis() : Typography::body()));
  };
  if (!document.title.empty()) {
    begin(spacedBlock(0, 14), Typography::pageTitle());
    cursor.insertText(QString::fromStdString(document.title));
  }
  std::optional<std::string> group;
  for (std::size_t index = 0; index < document.sections.size(); ++index) {
    const auto& section = document.sections[index];
    if (section.group != group) {
      group = section.group;
      if (!group->empty()) {
        // The rule under a group heading is the block's trailing ruler, drawn below its text.
        QTextBlockFormat format = spacedBlock(groupSpacing, 10);
        format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, QTextLength(QTextLength::PercentageLength, 100));
        begin(format, Typography::helpGroup());
        addRow({QString::fromStdString(*group), cursor.position(), true, std::nullopt});
        cursor.insertText(QString::fromStdString(*group));
      }
    }
    begin(spacedBlock(sectionSpacing, 6), Typography::heading());
    addRow({QString::fromStdString(section.title), cursor.position(), false, static_cast<int>(index)});
    cursor.insertText(QString::fromStdString(section.title));
    for (const auto& block : section.blocks) {
      QTextBlockFormat format = spacedBlock(0, paragraphSpacing);
      QString mark;
      if (block.kind != HelpDocument::Block::Kind::paragraph) {
        format.setLeftMargin(hangingIndent);
        format.setTextIndent(-hangingIndent);
        format.setTabPositions({QTextOption::Tab(hangingIndent, QTextOption::LeftTab)});
        mark = block.kind == HelpDocument::Block::Kind::bullet ? QStringLiteral("•\t")
                                                                  : QString::number(block.number) + ".\t";
      }
      begin(format, Typography::body());
      cursor.insertText(mark);
      write(block.text);
    }
  }
  table_->expandAll();
  textView_->moveCursor(QTextCursor::Start);
}

void HelpWindow::renderFailure() {
  QTextCursor cursor(textView_->document());
  cursor.setBlockFormat(spacedBlock(0, 12));
  cursor.insertText(text(msg("ヘルプを読み込めませんでした")), charactersIn(Typography::heading()));
  cursor.insertBlock(spacedBlock(0, paragraphSpacing));
  cursor.insertText(text(msg("アプリの中身が欠けているかもしれません。アプリをもう一度入れ直すか、メニューバーの「ご意見・不具合を送る…」からお知らせください。")),
                    charactersIn(Typography::body()));
}

}  // namespace hollin

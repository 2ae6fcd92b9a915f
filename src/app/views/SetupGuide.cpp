#include "app/views/SetupGuide.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/views/Typography.h"
#include "core/L10n.h"

namespace hollin {
namespace {

struct Card {
  LocalizedMessage title;
  bool recommended;
  LocalizedMessage description;
  LocalizedMessage button;
  SetupAction action;
};

const Card guideCards[] = {
    {msg("1. 通知"), true, msg("メモリーや内蔵ストレージの空きが足りなくなりそうなときや、SSD の警告などを知らせます。"),
     msg("通知を許可…"), SetupAction::notifications},
    {msg("2. ログイン時に起動"), true, msg("Mac にログインしたとき、ホリンを自動で開きます。"), msg("自動起動を設定"),
     SetupAction::login},
    {msg("3. アプリの応答の確認"), false,
     msg("固まったアプリを見つけたいときだけ使います。macOS の「アクセシビリティ」の許可が要ります。画面の文字や書類は保存しません。"),
     msg("応答確認の許可…"), SetupAction::response},
};

constexpr int guideWidth = 680;
constexpr int guideHeight = 760;

}  // namespace

SetupGuide::SetupGuide(ViewSetup setup, std::function<void(SetupAction)> action, std::function<void()> finish)
    : setup_(std::move(setup)), action_(std::move(action)), finish_(std::move(finish)) {}

SetupGuide::~SetupGuide() = default;

void SetupGuide::build() {
  const auto text = [this](const LocalizedMessage& message) {
    return QString::fromStdString(L10n::render(message, setup_.language));
  };
  window_ = std::make_unique<QWidget>(nullptr, Qt::Window);
  window_->setWindowTitle(text(msg("初回設定の案内")));
  window_->setMinimumSize(600, 520);
  // The cards scroll when the window is made smaller than they need.
  auto* scroll = new QScrollArea(window_.get());
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);
  auto* outer = new QVBoxLayout(window_.get());
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  auto* stack = new QVBoxLayout(content);
  stack->setContentsMargins(24, 24, 24, 24);
  stack->setSpacing(14);
  stack->addWidget(Typography::wrappingLabel(text(msg("ホリンへようこそ")), Typography::status(), content));
  stack->addWidget(Typography::wrappingLabel(
      text(msg("見張りは、もう始まっています。下の3つは、使い方に合わせて選べる設定です。どれも、あとから変えられます。")),
      Typography::lead(), content));
  stack->addSpacing(18);

  for (std::size_t i = 0; i < std::size(guideCards); ++i) {
    const Card& card = guideCards[i];
    auto* box = new QFrame(content);
    box->setFrameShape(QFrame::StyledPanel);
    box->setBackgroundRole(QPalette::Base);
    box->setAutoFillBackground(true);
    auto* inner = new QVBoxLayout(box);
    inner->setContentsMargins(16, 12, 16, 12);
    inner->setSpacing(8);
    const QString tag = text(card.recommended ? msg("（おすすめ）") : msg("（必要なときだけ）"));
    auto* title = Typography::wrappingLabel(text(card.title) + tag, Typography::bodyEmphasis(), box);
    inner->addWidget(title);
    inner->addWidget(Typography::wrappingLabel(text(card.description), Typography::body(), box));
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(text(card.button), box);
    button->setFont(Typography::body());
    QObject::connect(button, &QPushButton::clicked, box, [this, action = card.action] { action_(action); });
    row->addWidget(button);
    row->addStretch();
    inner->addLayout(row);
    statusLabels_[i] = Typography::wrappingLabel(text(msg("確認中")), Typography::note(), box);
    inner->addWidget(statusLabels_[i]);
    if (card.action == SetupAction::notifications) notificationButton_ = button;
    stack->addWidget(box);
  }

  if (const auto note = setupSharingNote(setup_.scope)) stack->addWidget(Typography::wrappingLabel(text(*note), Typography::body(), content));
  stack->addSpacing(18);
  stack->addWidget(Typography::wrappingLabel(
      text(msg("使い方・記録・削除のしかたは、ヘルプにあります。この案内は、メニューの「初回設定の案内…」からいつでも開けます。")),
      Typography::body(), content));
  stack->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  buttons->addStretch();
  auto* help = new QPushButton(text(msg("ヘルプ")), content);
  QObject::connect(help, &QPushButton::clicked, content, [this] { action_(SetupAction::help); });
  auto* analysis = new QPushButton(text(msg("分析を開く")), content);
  analysis->setDefault(true);
  QObject::connect(analysis, &QPushButton::clicked, content, [this] { finish_(); });
  for (auto* button : {help, analysis}) {
    button->setFont(Typography::body());
    buttons->addWidget(button);
  }
  stack->addLayout(buttons);
  window_->resize(guideWidth, guideHeight);
}

void SetupGuide::show() {
  const bool built = !window_;
  if (built) build();
  window_->show();
  if (built) {
    // As tall as the cards need at the window's width, within the screen: the fonts and the
    // style decide, and both are settled once the shown window has been laid out.
    QTimer::singleShot(0, window_.get(), [this] {
      QWidget* content = window_->findChild<QScrollArea*>()->widget();
      const int wanted = std::max(guideHeight, content->heightForWidth(content->width()));
      const QScreen* screen = window_->screen();
      window_->resize(guideWidth, screen ? std::min(wanted, screen->availableGeometry().height() - 48) : wanted);
    });
  }
  window_->raise();
  window_->activateWindow();
}

void SetupGuide::update(const SetupGuideView& view) {
  if (!window_) return;
  for (std::size_t i = 0; i < statusLabels_.size(); ++i)
    statusLabels_[i]->setText(QString::fromStdString(view.statusLines[i]));
  notificationButton_->setText(QString::fromStdString(view.notificationButton));
}

void SetupGuide::close() {
  if (window_) window_->close();
}

}  // namespace hollin

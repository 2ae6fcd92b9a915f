#include "core/support/FeedbackReport.h"

#include <algorithm>
#include <cctype>

#include "core/BuildProfile.h"
#include "core/L10n.h"
#include "core/OSRelease.h"
#include "core/PlainText.h"
#include "core/TextCut.h"

namespace hollin::FeedbackReport {
namespace {

// What firmware writes where the maker left the field unset.
bool saysNothing(std::string_view name) {
  static constexpr std::string_view fillers[] = {
      "", "to be filled by o.e.m.", "to be filled by oem", "system product name", "system manufacturer",
      "default string", "not applicable", "not specified", "none", "n/a", "oem", "o.e.m.", "system name",
      "product name", "type1productconfigid", "invalid", "unknown", "0123456789", "123456789", "x.x",
  };
  return std::ranges::find(fillers, asciiLowered(name)) != std::end(fillers);
}

// Letters and digits of ASCII and "-._~" (and `alsoKept`) as they are, every other byte as %XX.
std::optional<std::string> percentEncoded(std::string_view text, std::string_view alsoKept = {}) {
  if (wellFormedUTF8(text) != text) return std::nullopt;
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || std::string_view("-._~").find(c) != std::string_view::npos ||
        alsoKept.find(c) != std::string_view::npos) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += hex[byte >> 4];
      encoded += hex[byte & 0xF];
    }
  }
  return encoded;
}

// The list of what the draft holds; and of what it leaves out (also the body's last-but-one line).
LocalizedMessage heldItems() {
  return msg("アプリとmacOSのバージョン・ビルド番号・機種・表示言語・通知とログイン時の起動と応答確認の許可の状態・直近の落ちた記録（最大3件。日時・バージョンとビルド番号・macOSのバージョン・シグナルと例外の番号・ホリン自身のコードの位置とビルドの識別番号（8文字）だけ）");
}
LocalizedMessage leftOutItems() { return msg("アプリの名前と一覧・測定した値・ユーザー名・コンピュータ名・保存先の場所"); }

}  // namespace

LocalizedMessage permissionText(Permission permission) {
  switch (permission) {
    case Permission::allowed: return msg("許可済み");
    case Permission::denied: return msg("オフ（断られた）");
    case Permission::notSet: break;
    case Permission::waitingApproval: return msg("システム設定で許可待ち");
    case Permission::off: return msg("オフ");
  }
  return msg("未設定");
}

Permission notificationPermission(NotificationAuthorization authorization, bool refusedLastPosting) {
  switch (authorization) {
    case NotificationAuthorization::authorized: return refusedLastPosting ? Permission::denied : Permission::allowed;
    case NotificationAuthorization::denied: return Permission::off;
    case NotificationAuthorization::notDetermined: break;
  }
  return Permission::notSet;
}

std::string osVersion(const std::optional<std::string>& osRelease) {
  if (!osRelease) return "?";
  const std::string name(trimmedBlanks(osReleaseField(osReleaseFields(*osRelease), "PRETTY_NAME")));
  return name.empty() ? "Linux" : wellFormedUTF8(name, 200);
}

std::string modelName(const std::optional<std::string>& product, const std::optional<std::string>& vendor) {
  for (const auto& name : {product, vendor})
    if (name && !saysNothing(trimmedBlanks(*name))) return wellFormedUTF8(trimmedBlanks(*name), 200);
  return "?";
}

std::string subject(const Environment& environment) {
  return L10n::render(msg("ホリン {0} のご意見・不具合", environment.appVersion), environment.language);
}

std::string body(const Environment& environment, std::string_view timeZone) {
  const std::string_view language = environment.language;
  const auto text = [language](const LocalizedMessage& message) { return L10n::render(message, language); };
  const auto permission = [&text](Permission value) { return text(permissionText(value)); };
  std::vector<std::string> lines{
      text(msg("（この上に、お困りのことやご要望をお書きください）")),
      text(msg("・どんな操作をしたか:")),
      text(msg("・どうなると思ったか:")),
      text(msg("・実際にどうなったか:")),
      text(msg("――― ここから下は動作環境です（消していただいてかまいません）―――")),
      text(msg("ホリン: {0}（ビルド {1}）", environment.appVersion, environment.build)),
      "OS: " + environment.osVersion,
      text(msg("機種: {0}", environment.model)),
      text(msg("表示言語: {0}", text(language == "ja" ? msg("日本語") : msg("英語")))),
      text(msg("通知: {0}", permission(environment.notifications))),
      text(msg("ログイン時の起動: {0}", permission(environment.loginItem))),
      text(msg("応答確認（アクセシビリティ）: {0}", permission(environment.accessibility))),
  };
  for (std::string& line : CrashLog::draftLines(environment.crashes, language, timeZone)) lines.push_back(std::move(line));
  lines.push_back(text(msg("※ {0}は含めていません。", text(leftOutItems()))));
  lines.push_back(text(msg("画面の画像を添えていただくときは、このメールに手で添付してください。")));
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\n") + line;
  return joined;
}

std::string prompt(std::string_view language) {
  const auto text = [language](const LocalizedMessage& message) { return L10n::render(message, language); };
  return text(msg("メールの下書きを開きます。送る前に全文を読んで、消したいところは消せます。ホリンが自分で送ることはありません。")) +
         "\n\n" + text(msg("入るもの：{0}。", text(heldItems()))) + "\n" +
         text(msg("入らないもの：{0}。", text(leftOutItems()))) + "\n\n" +
         text(msg("下書きが開かないときは「内容をコピー」を押して、{0} 宛にお送りください。", feedbackAddress));
}

std::optional<std::string> mailtoURL(std::string_view to, std::string_view subject, std::string_view body) {
  const auto address = percentEncoded(to, "@");
  const auto subjectPart = percentEncoded(subject);
  const auto bodyPart = percentEncoded(body);
  if (!address || address->empty() || !subjectPart || !bodyPart) return std::nullopt;
  return "mailto:" + *address + "?subject=" + *subjectPart + "&body=" + *bodyPart;
}

std::optional<std::string> mailtoURL(const Environment& environment, std::string_view timeZone) {
  return mailtoURL(feedbackAddress, subject(environment), body(environment, timeZone));
}

std::string clipboardText(const Environment& environment, std::string_view timeZone) {
  return L10n::render(msg("宛先: {0}", feedbackAddress), environment.language) + "\n" +
         L10n::render(msg("件名: {0}", subject(environment)), environment.language) + "\n" +
         body(environment, timeZone);
}

AlertView promptAlert(std::string_view language) {
  return {L10n::render(msg("ご意見・不具合を送る"), language), prompt(language),
          {L10n::render(msg("メールの下書きを開く"), language), L10n::render(msg("内容をコピー"), language),
           L10n::render(msg("閉じる"), language)}};
}

AlertView noDraftAlert(std::string_view language) {
  return {L10n::render(msg("メールの下書きを開けませんでした"), language),
          L10n::render(msg("このMacでメールを送るアプリが見つかりませんでした。「内容をコピー」を押して、ブラウザのメール（Gmail など）から {0} 宛にお送りください。", feedbackAddress), language),
          {L10n::render(msg("内容をコピー"), language), L10n::render(msg("閉じる"), language)}};
}

AlertView copiedAlert(std::string_view language) {
  return {L10n::render(msg("コピーしました"), language),
          L10n::render(msg("メールソフトやブラウザのメールに貼り付けて、{0} 宛にお送りください。", feedbackAddress), language),
          {L10n::render(msg("閉じる"), language)}};
}

}  // namespace hollin::FeedbackReport

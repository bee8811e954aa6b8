#include "pages/core/write_values.h"

#include <QStringList>
#include <algorithm>
#include <utility>

#include "pages/core/page_context.h"
#include "pages/core/read_back.h"
#include "protocol/text_codec.h"

namespace deveder {

QString ValueRefusalMessage(const ValueRefusal& r, int langId) {
  const bool zh = langId == kLangChinese;
  const QString ch = DescribeCharacter(r.character);
  if (r.fault == ValueFault::NotInCodePage) {
    const QString cp = QString::number(CodePageForLang(langId));
    return zh ? QStringLiteral("无法发送 %1：打印机的代码页 %2 中没有字符 %3").arg(r.field, cp, ch)
              : QStringLiteral("Cannot send %1: the printer's code page %2 has no character %3").arg(r.field, cp, ch);
  }
  if (r.splitsList)
    return zh ? QStringLiteral("无法发送 %1：其中的字符 %2 会把列表分成更多字段").arg(r.field, ch)
              : QStringLiteral("Cannot send %1: it holds the character %2, which would split its list into "
                               "one field more")
                    .arg(r.field, ch);
  if (r.fault == ValueFault::FieldSeparator)
    return zh ? QStringLiteral("无法发送 %1：其中的字符 %2 是命令中字段的分隔符").arg(r.field, ch)
              : QStringLiteral("Cannot send %1: it holds the character %2, which separates the fields of its "
                               "printer command")
                    .arg(r.field, ch);
  return zh ? QStringLiteral("无法发送 %1：其中的字符 %2 不能放进打印机命令").arg(r.field, ch)
            : QStringLiteral("Cannot send %1: it holds the character %2, which a printer command cannot carry")
                  .arg(r.field, ch);
}

std::optional<ValueRefusal> RefusalOf(const QString& field, const LineValue& value, int control) {
  if (value.ok()) return std::nullopt;
  return ValueRefusal{field, value.fault, value.character, false, control};
}

QString RefusalMessageOnPage(const PageContext& ctx, int dialogId, ValueRefusal refusal) {
  if (refusal.control) refusal.field = ctx.ui.FieldName(refusal.field, dialogId, refusal.control);
  return ValueRefusalMessage(refusal, ctx.langId);
}

QString KeptValuesMessageOnPage(const PageContext& ctx, int dialogId, const std::vector<KeptValue>& kept) {
  return KeptValuesMessage(kept, ctx.langId, [&](const KeptValue& k) {
    const QString var = QString::fromStdString(k.var);
    return k.control ? ctx.ui.FieldName(var, dialogId, k.control) : var;
  });
}

QString KeptValuesMessage(const std::vector<KeptValue>& kept, int langId,
                          const std::function<QString(const KeptValue&)>& name) {
  const bool zh = langId == kLangChinese;
  auto reason = [zh](KeptWhy why) {
    switch (why) {
      case KeptWhy::Unanswered: return zh ? QStringLiteral("读取时打印机没有回答") : QStringLiteral("no answer to the Read");
      case KeptWhy::NotShown:
        return zh ? QStringLiteral("页面不能原样显示") : QStringLiteral("the page cannot show it as it is");
      case KeptWhy::Unsendable: break;
    }
    return zh ? QStringLiteral("含有打印机命令不能携带的字符")
              : QStringLiteral("it holds characters a printer command cannot carry");
  };
  // One group per reason, in the order the reasons first occur.
  std::vector<std::pair<KeptWhy, QStringList>> groups;
  for (const KeptValue& k : kept) {
    auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == k.why; });
    if (it == groups.end()) it = groups.insert(groups.end(), {k.why, {}});
    it->second << (name ? name(k) : QString::fromStdString(k.var));
  }
  QStringList parts;
  for (const auto& [why, names] : groups)
    parts << (zh ? QStringLiteral("（%1）：%2") : QStringLiteral("(%1): %2")).arg(reason(why), names.join(", "));
  return (zh ? QStringLiteral("未写入，打印机保留原值") : QStringLiteral("Left with the printer, not written ")) +
         parts.join(zh ? QStringLiteral("；") : QStringLiteral("; "));
}

WriteBuilder::WriteBuilder(WritePlan& plan, const ControlModel& controls, LineForm form, int langId,
                           const ReadBack* readBack)
    : plan_(plan), controls_(controls), form_(form), lang_(langId), readBack_(readBack) {}

std::optional<std::string> WriteBuilder::AsRead(const PrinterVar& var, bool* kept, int control) {
  *kept = false;
  if (!readBack_) return std::nullopt;
  std::optional<ReadBack::Untouched> read = readBack_->IfUntouched(var.name, controls_);
  if (!read) return std::nullopt;
  KeptWhy why = read->got == ReadBack::Got::Unanswered ? KeptWhy::Unanswered : KeptWhy::NotShown;
  if (read->got == ReadBack::Got::Answered) {
    if (FindUnsafeByte(read->bytes) != std::string::npos) why = KeptWhy::Unsendable;
    else if (SetvarTextLine(var, form_, read->bytes)) return std::move(read->bytes);
  }
  *kept = true;
  plan_.kept.push_back({var.name, std::move(read->bytes), why, control});
  return std::nullopt;
}

std::optional<std::string> WriteBuilder::FromText(const char* field, const QString& text, int control) {
  LineValue v = TextToLineValue(text, lang_);
  if (v.ok()) return std::move(v.bytes);
  if (std::optional<ValueRefusal> r = RefusalOf(QString::fromUtf8(field), v, control)) Refuse(std::move(*r));
  return std::nullopt;
}

void WriteBuilder::Refuse(ValueRefusal refusal) {
  if (!plan_.refusal) plan_.refusal = std::move(refusal);
}

std::optional<std::string> WriteBuilder::Value(const PrinterVar& var, const QString& text) {
  bool kept = false;
  std::optional<std::string> bytes = AsRead(var, &kept);
  if (kept) return std::nullopt;
  return bytes ? bytes : FromText(var.name, text);
}

void WriteBuilder::TextLine(const PrinterVar& var, const std::string& bytes) {
  if (std::optional<std::string> line = SetvarTextLine(var, form_, bytes)) plan_.lines.push_back(std::move(*line));
  else if (!plan_.tooLong) plan_.tooLong = var.name;
}

void WriteBuilder::Line(std::string line) { plan_.lines.push_back(std::move(line)); }

void WriteBuilder::Finish() {
  if (plan_.refused()) plan_.lines.clear();
}

}  // namespace deveder

#include "pages/core/write_values.h"

#include <QStringList>

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
  return zh ? QStringLiteral("无法发送 %1：其中的字符 %2 不能放进打印机命令").arg(r.field, ch)
            : QStringLiteral("Cannot send %1: it holds the character %2, which a printer command cannot carry")
                  .arg(r.field, ch);
}

std::optional<ValueRefusal> RefusalOf(const QString& field, const LineValue& value) {
  if (value.ok()) return std::nullopt;
  return ValueRefusal{field, value.fault, value.character};
}

QString KeptValuesMessage(const std::vector<KeptValue>& kept, int langId) {
  QStringList names;
  for (const KeptValue& k : kept) names << QString::fromStdString(k.var);
  const QString list = names.join(QStringLiteral(", "));
  return langId == kLangChinese
             ? QStringLiteral("以下数值含有打印机命令不能携带的字符，未写入，打印机保留原值：%1").arg(list)
             : QStringLiteral("Not written, the printer keeps its own value (it holds characters a printer "
                              "command cannot carry): %1")
                   .arg(list);
}

WriteBuilder::WriteBuilder(WritePlan& plan, const ControlModel& controls, LineForm form, int langId,
                           const ReadBack* readBack)
    : plan_(plan), controls_(controls), form_(form), lang_(langId), readBack_(readBack) {}

std::optional<std::string> WriteBuilder::AsRead(const char* var, bool* kept) {
  *kept = false;
  if (!readBack_) return std::nullopt;
  std::optional<std::string> bytes = readBack_->Unchanged(var, controls_);
  if (bytes && FindUnsafeByte(*bytes) != std::string::npos) {
    *kept = true;
    plan_.kept.push_back({var, *bytes});
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> WriteBuilder::FromText(const char* field, const QString& text) {
  LineValue v = TextToLineValue(text, lang_);
  if (v.ok()) return std::move(v.bytes);
  if (!plan_.refusal) plan_.refusal = RefusalOf(QString::fromUtf8(field), v);
  return std::nullopt;
}

std::optional<std::string> WriteBuilder::Value(const char* var, const QString& text) {
  bool kept = false;
  std::optional<std::string> bytes = AsRead(var, &kept);
  if (kept) return std::nullopt;
  return bytes ? bytes : FromText(var, text);
}

void WriteBuilder::Text(const PrinterVar& var, const QString& text, bool always) {
  const std::optional<std::string> bytes = Value(var.name, text);
  if (!bytes || (bytes->empty() && !always)) return;
  TextLine(var, *bytes);
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

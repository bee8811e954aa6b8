#include "pages/font/font_page.h"
#include "link/port_hooks.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "link/link.h"
#include "pages/core/page_port.h"
#include "pages/core/write_values.h"
#include "protocol/command_line.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "resources/window_texts.h"
#include "pages/core/port_cause.h"

namespace deveder {

namespace {

// One answer of the printer during a download: the bytes that come within
// `bound`, gathered until the printer falls silent. Nothing is delivered to
// the window meanwhile.
IoResult AwaitAnswer(Link& link, char* buffer, int capacity, int boundMs) {
  ReplyTiming timing = link.Timing();
  timing.firstByte = milliseconds(std::max(boundMs, 0));
  return link.ReadReply(buffer, capacity, timing, false, false);
}

}  // namespace

FontKind FontKindOfIndex(int index) {
  switch (index) {
    case 1: return FontKind::FontExt;
    case 2: return FontKind::Demo;
    default: return FontKind::Font;
  }
}

LineValue FontFileNameValue(const QString& path, int langId) {
  LineValue value = TextToLineValue(QFileInfo(path).fileName(), langId);
  // The line's field is "name:size": a colon in the name would give the
  // printer two, and a size that is no size.
  if (value.ok() && value.bytes.find(':') != std::string::npos) {
    value.fault = ValueFault::FieldSeparator;
    value.character = U':';
    value.bytes.clear();
  }
  return value;
}

QString FontFileNameField(int langId) {
  return langId == kLangChinese ? QStringLiteral("文件名") : QStringLiteral("the file name");
}

std::optional<std::string> FontDownloadLine(FontKind kind, const std::string& nameBytes, qint64 size) {
  if (size < 0 || size > kFontLargestFile) return std::nullopt;
  const std::string sizeText = std::to_string(size);
  switch (kind) {
    case FontKind::FontExt:
      if (nameBytes.size() >= static_cast<std::size_t>(kFontNameBufferSize)) return std::nullopt;
      if (FindUnsafeByte(nameBytes) != std::string::npos) return std::nullopt;
      return DoNamedLine("download", {"fontext", nameBytes + ":" + sizeText});
    case FontKind::Demo:
      return DoNamedLine("download", {"demo", sizeText});
    case FontKind::Font:
      break;
  }
  return DoNamedLine("download", {"font", sizeText});
}

void FontPage::OnCreate(PageContext& ctx) { ctx.controls.SetCurrentIndex(kFontKindList, 0); }

ControlResult FontPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  if (id == kFontChooseButton) {
    ChooseFontFile(ctx);
    return ControlResult::Handled();
  }
  if (id == kFontDownloadButton) return ControlResult::Ran(DownloadFontFile(ctx));
  return ControlResult::Unhandled();
}

void FontPage::ChooseFontFile(PageContext& ctx) {
  const std::optional<QString> chosen =
      ctx.ui.ChooseOpenFile(QStringLiteral("*.*"), QStringLiteral("All File (*.*)|*.*||"));
  if (chosen) ctx.controls.SetText(kFontPathEdit, *chosen);
}

ActionResult FontPage::DownloadFontFile(PageContext& ctx) {
  // The pump runs while file data goes out; a click on Download delivered
  // there must not start a second download on the same port.
  const ReentryGuard guard(downloading_);
  if (!guard.Entered()) return ActionResult{ActionOutcome::Refused, 0, {}, {}};

  ControlModel& controls = ctx.controls;
  const QString path = controls.Text(kFontPathEdit);
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return Refuse(ctx, kStrFileNotExist);
  // Only a regular file is sent: a folder cannot be read as one, and a pipe
  // or a device could block the open or never end.
  if (!info.isFile()) return Refuse(ctx, kStrCantOpenPrinter);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return Refuse(ctx, kStrCantOpenPrinter);
  const qint64 size = file.size();

  // A size the line's field cannot carry, a name too long for its buffer or
  // one that cannot travel in the line is refused before the printer hears
  // of it: a file name is never a way to put a command of its own on the line.
  const FontKind kind = FontKindOfIndex(controls.CurrentIndex(kFontKindList));
  std::string nameBytes;
  if (kind == FontKind::FontExt) {
    LineValue name = FontFileNameValue(path, ctx.langId);
    if (const std::optional<ValueRefusal> refusal = RefusalOf(FontFileNameField(ctx.langId), name))
      return RefuseWith(ctx, ValueRefusalMessage(*refusal, ctx.langId));
    nameBytes = std::move(name.bytes);
  }
  const std::optional<std::string> line = FontDownloadLine(kind, nameBytes, size);
  if (!line) return Refuse(ctx, kStrCantOpenPrinter);

  char buffer[kLineBufferSize];
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  Link& link = *port.link;

  // Every failure once the port is open: close it first, then tell the user.
  auto broken = [&] {
    port.link.reset();
    file.close();
    ActionResult r = Refuse(ctx, kStrUnconnectPrinter);
    r.outcome = ActionOutcome::Lost;
    return r;
  };

  // Bytes waiting from an earlier exchange are no go-ahead.
  if (!link.DiscardInput().ok() || !link.Write(line->data(), static_cast<int>(line->size())).ok()) return broken();

  // The go-ahead, gathered until the printer falls silent. With no data to
  // follow, the printer's confirmation may come right behind it, so only one
  // byte is taken then and the rest is left for the second wait.
  if (AwaitAnswer(link, buffer, size == 0 ? 1 : kLineBufferSize, bounds.goAheadMs).bytes == 0) return broken();

  controls.SetVisible(kFontProgressBar, true);
  qint64 remaining = size;
  while (remaining > 0) {
    // Between two blocks the user may stop the download (closing the
    // window): the printer then holds part of the file, and is told so.
    if (remaining < size && ctx.ui.StopRequested()) {
      const int sent = static_cast<int>((size - remaining) * 100 / size);
      port.link.reset();
      file.close();
      return RefuseWith(ctx, LoadWindowText(WindowText::FontStopped, ctx.langId), FontInterruptedAdvice(sent, ctx.langId));
    }
    const int chunk = static_cast<int>(std::min<qint64>(remaining, kFontChunkBytes));
    // A file that shrank or cannot be read any more would leave stale bytes
    // in the buffer: stop rather than send them.
    if (file.read(buffer, chunk) != chunk) return broken();
    remaining -= chunk;
    // Whatever the printer says before it has the last byte (the rest of a
    // go-ahead in pieces, a late answer) is no confirmation.
    if (!link.DiscardInput().ok()) return broken();
    if (!link.Write(buffer, chunk, WriteOptions{std::nullopt, true}).ok()) return broken();
    controls.SetProgress(kFontProgressBar, static_cast<int>((size - remaining) * 100 / size));
  }
  controls.SetVisible(kFontProgressBar, false);

  // The printer may take long to store the file; its confirmation is waited
  // for from the moment the last byte has left the line.
  link.DrainOutput(Deadline::After(link.WriteBound(kFontChunkBytes)));
  if (AwaitAnswer(link, buffer, kLineBufferSize, bounds.confirmationMs).bytes == 0) return broken();

  port.link.reset();
  return Succeeded();
}

}  // namespace deveder

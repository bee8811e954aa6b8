#include "pages/font/font_page.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "link/port.h"
#include "pages/core/page_port.h"
#include "pages/core/write_values.h"
#include "protocol/command_line.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"

namespace deveder {

namespace {

using Clock = std::chrono::steady_clock;

// While file data goes out, the window's pump runs at least this often.
constexpr int kPumpSliceMs = 2;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Polls the started write of `length` bytes until the device has taken them
// all, bounded like PortWrite. With `pump` the window's pump runs between
// polls (file data); without it nothing is delivered (the command line).
bool FinishWrite(PortHandle port, int length, bool pump) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(PortWriteBoundMs(port, length));
  while (true) {
    const IoState st = PortPollWrite(port, pump ? kPumpSliceMs : MsLeft(deadline), nullptr);
    if (st == IoState::Completed) return true;
    if (st == IoState::Failed || Clock::now() >= deadline) return false;
    if (pump) CallPortPump();
  }
}

// Starts one read and polls it until at least one byte has come, for at
// most `boundMs`. The bytes' content does not matter: any answer counts.
bool AwaitAnswer(PortHandle port, char* buffer, int capacity, int boundMs) {
  if (!PortStartRead(port, buffer, capacity)) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(boundMs, 0));
  while (true) {
    const IoState st = PortPollRead(port, MsLeft(deadline), nullptr);
    if (st == IoState::Completed) return true;
    if (st == IoState::Failed || Clock::now() >= deadline) return false;
  }
}

bool Refuse(PageContext& ctx, int stringId) {
  ctx.ui.ShowMessage(LoadString(stringId, ctx.langId));
  return false;
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
  return TextToLineValue(QFileInfo(path).fileName(), langId);
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

bool FontPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return false;
  if (id == kFontChooseButton) {
    ChooseFontFile(ctx);
    return true;
  }
  if (id == kFontDownloadButton) {
    DownloadFontFile(ctx);
    return true;
  }
  return false;
}

void FontPage::ChooseFontFile(PageContext& ctx) {
  const std::optional<QString> chosen =
      ctx.ui.ChooseOpenFile(QStringLiteral("*.*"), QStringLiteral("All File (*.*)|*.*||"));
  if (chosen) ctx.controls.SetText(kFontPathEdit, *chosen);
}

bool FontPage::DownloadFontFile(PageContext& ctx) {
  // The pump runs while file data goes out; a click on Download delivered
  // there must not start a second download on the same port.
  const ReentryGuard guard(downloading_);
  if (!guard.Entered()) return false;

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
    if (const std::optional<ValueRefusal> refusal = RefusalOf(FontFileNameField(ctx.langId), name)) {
      ctx.ui.ShowMessage(ValueRefusalMessage(*refusal, ctx.langId));
      return false;
    }
    nameBytes = std::move(name.bytes);
  }
  const std::optional<std::string> line = FontDownloadLine(kind, nameBytes, size);
  if (!line) return Refuse(ctx, kStrCantOpenPrinter);

  // The buffer outlives the port: a write still started on it at the close
  // is pushed out from it.
  char buffer[kLineBufferSize];
  ScopedPort port(OpenPagePort(ctx));
  if (!port.valid()) return ShowPortOpenFailure(ctx);

  // Every failure once the port is open: close it first, then tell the user.
  auto broken = [&] {
    port.Close();
    file.close();
    return Refuse(ctx, kStrUnconnectPrinter);
  };

  const int lineLength = static_cast<int>(line->size());
  std::memcpy(buffer, line->data(), line->size());
  if (!PortStartWrite(port.get(), buffer, lineLength) || !FinishWrite(port.get(), lineLength, false)) return broken();

  // The go-ahead. With no data to follow, the printer's confirmation may
  // arrive right behind it, so only one byte is taken and the rest is left
  // for the second wait.
  if (!AwaitAnswer(port.get(), buffer, size == 0 ? 1 : kLineBufferSize, bounds.goAheadMs)) return broken();

  controls.SetVisible(kFontProgressBar, true);
  qint64 remaining = size;
  while (remaining > 0) {
    const int chunk = static_cast<int>(std::min<qint64>(remaining, kFontChunkBytes));
    // A file that shrank or cannot be read any more would leave stale bytes
    // in the buffer: stop rather than send them.
    if (file.read(buffer, chunk) != chunk) return broken();
    remaining -= chunk;
    if (!PortStartWrite(port.get(), buffer, chunk) || !FinishWrite(port.get(), chunk, true)) return broken();
    controls.SetProgress(kFontProgressBar, static_cast<int>((size - remaining) * 100 / size));
  }
  controls.SetVisible(kFontProgressBar, false);

  // The printer may take long to store the file; its confirmation is waited
  // for from the moment the last byte has left the line.
  PortDrainOutput(port.get(), PortWriteBoundMs(port.get(), kFontChunkBytes));
  if (!AwaitAnswer(port.get(), buffer, kLineBufferSize, bounds.confirmationMs)) return broken();

  port.Close();
  return true;
}

}  // namespace deveder

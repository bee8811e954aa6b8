#include "pages/firmware/firmware_page.h"

#include <time.h>

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/link.h"
#include "pages/core/page_port.h"
#include "protocol/firmware_packets.h"
#include "resources/strings.h"
#include "resources/window_texts.h"
#include "pages/core/port_cause.h"

namespace deveder {

namespace {

// The largest image: its size travels as an unsigned 32-bit count.
constexpr qint64 kLargestImage = 0xFFFFFFFFLL;

// Room for the largest request either framing sends here.
constexpr int kPacketBufferSize = kSumOverheadBytes + kSumBlockHeaderBytes + kFirmwareBlockBytes;
static_assert(kXorHeaderBytes + kFirmwareBlockBytes <= kPacketBufferSize);

void SleepMs(int ms) {
  timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

constexpr milliseconds kEndAnswerWait{500};

// The end of the image is not answered; it has to leave the line before the
// port closes. False when the port fails it or it does not leave in time.
bool SendUnanswered(Link& link, const std::uint8_t* packet, int length) {
  const Deadline bound = Deadline::After(link.WriteBound(length));
  if (!link.Write(packet, length, WriteOptions{bound, false}).ok()) return false;
  if (!link.DrainOutput(bound).ok()) return false;
  // A serial line gets its own speed back when the port closes; the printer
  // must have taken the end at the download's speed by then. Its answer,
  // which nothing else needs, shows that it has; a printer that does not
  // answer is given a short while.
  char answer[64];
  ReplyTiming timing = link.Timing();
  timing.firstByte = kEndAnswerWait;
  link.ReadReply(answer, sizeof answer, timing);
  return true;
}

// One download over an open port: the image file, the packet buffer and the
// reply receiver. Each procedure returns 0 on success or the string id of
// the failure.
struct Transfer {
  PageContext& ctx;
  Link& port;
  QFile& file;
  std::uint32_t size;
  std::uint8_t* packet;
  ReplyReceiver receiver;
  std::uint8_t reply[ReplyReceiver::kBufferSize];

  bool Xor(std::uint16_t command, std::uint32_t argument, const std::uint8_t* payload, std::uint16_t n) {
    const std::uint32_t length = BuildXorPacket(receiver, packet, command, argument, payload, n);
    return ExchangePacket(port, receiver, packet, static_cast<int>(length), reply, sizeof reply, nullptr,
                          kFirmwareXorSends, kFirmwareXorLimitMs, &ReplyReceiver::FeedXorReplyByte,
                          &ReplyReceiver::TakeXorReplyPayload);
  }

  bool Sum(std::uint32_t command, const std::uint8_t* payload, std::uint32_t n, int sends, std::uint32_t limitMs) {
    const std::uint32_t length = BuildSumPacket(receiver, packet, command, payload, n);
    return ExchangePacket(port, receiver, packet, static_cast<int>(length), reply, sizeof reply, nullptr, sends,
                          limitMs, &ReplyReceiver::FeedSumReplyByte, &ReplyReceiver::TakeSumReplyPayload);
  }

  // Reads exactly k bytes: a file that shrank or fails a read would leave
  // stale bytes in the block.
  bool ReadBlock(std::uint8_t* block, int k) {
    return file.read(reinterpret_cast<char*>(block), k) == k;
  }

  void ShowProgressBar() {
    SleepMs(kFirmwareSettleMs);
    ctx.controls.SetVisible(kFirmwareProgressBar, true);
    ctx.controls.SetProgress(kFirmwareProgressBar, 0);
  }

  int RunXor() {
    if (!port.Configure(static_cast<std::uint32_t>(std::max(ctx.link.baud, 0))).ok()) return kStrChangeBaudFail;
    if (!Xor(kXorSetSpeed, kFirmwareSerialBaud, nullptr, 0)) return kStrCommunicateFail;
    if (!port.Configure(kFirmwareSerialBaud).ok()) return kStrChangeBaudFail;
    if (!Xor(kXorImage, kXorImageStart, nullptr, 0)) return kStrCommunicateFail;
    ShowProgressBar();

    std::uint8_t block[kFirmwareBlockBytes];
    std::uint32_t offset = 0;
    std::uint32_t remaining = size;
    while (remaining != 0) {
      const int k = static_cast<int>(std::min<std::uint32_t>(remaining, kFirmwareBlockBytes));
      // Every block carries 256 bytes; the last one is filled up.
      if (k < kFirmwareBlockBytes) std::memset(block, kFirmwarePadByte, sizeof block);
      if (!ReadBlock(block, k)) return kStrCantOpenPrinter;
      remaining -= static_cast<std::uint32_t>(k);
      if (!Xor(kXorBlock, offset, block, kFirmwareBlockBytes)) return kStrCommunicateFail;
      offset += static_cast<std::uint32_t>(k);
      ctx.controls.SetProgress(kFirmwareProgressBar, XorProgress(size, remaining));
    }

    const std::uint32_t length = BuildXorPacket(receiver, packet, kXorImage, kXorImageEnd, nullptr, 0);
    receiver.Reset();
    if (!SendUnanswered(port, packet, static_cast<int>(length))) return kStrCommunicateFail;
    ctx.controls.SetVisible(kFirmwareProgressBar, false);
    return 0;
  }

  int RunSum() {
    std::uint8_t sizePayload[kImageSizeBytes];
    PutImageSize(sizePayload, size);
    if (!Sum(kSumBegin, sizePayload, kImageSizeBytes, kFirmwareSumSends, kFirmwareSumLimitMs))
      return kStrCommunicateFail;
    ShowProgressBar();

    std::uint8_t payload[kSumBlockHeaderBytes + kFirmwareBlockBytes];
    for (std::uint32_t i = 0; static_cast<std::uint64_t>(i) * kFirmwareBlockBytes < size; ++i) {
      const std::uint64_t sent = static_cast<std::uint64_t>(i) * kFirmwareBlockBytes;
      const int k = static_cast<int>(std::min<std::uint64_t>(size - sent, kFirmwareBlockBytes));
      PutSumBlockHeader(payload, i, static_cast<std::uint16_t>(k));
      if (!ReadBlock(payload + kSumBlockHeaderBytes, k)) return kStrCantOpenPrinter;
      if (!Sum(kSumBlock, payload, static_cast<std::uint32_t>(kSumBlockHeaderBytes + k), kFirmwareSumSends,
               kFirmwareSumLimitMs))
        return kStrCommunicateFail;
      ctx.controls.SetProgress(kFirmwareProgressBar, SumProgress(size, i));
    }
    ctx.controls.SetVisible(kFirmwareProgressBar, false);

    // The printer's answer to the finish is not needed: every block has been
    // acknowledged.
    Sum(kSumFinish, sizePayload, kImageSizeBytes, kFirmwareFinishSends, kFirmwareFinishLimitMs);
    return 0;
  }
};

}  // namespace

int XorProgress(std::uint32_t size, std::uint32_t remaining) {
  if (size == 0) return 100;
  return static_cast<int>((static_cast<std::uint64_t>(size) - remaining) * 100 / size);
}

int SumProgress(std::uint32_t size, std::uint32_t block) {
  if (size == 0) return 0;
  return static_cast<int>(static_cast<std::uint64_t>(block) * 25600 / size);
}

ControlResult FirmwarePage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  if (id == kFirmwareChooseButton) {
    ChooseFirmwareFile(ctx);
    return ControlResult::Handled();
  }
  if (id == kFirmwareDownloadButton) return ControlResult::Ran(DownloadFirmware(ctx));
  return ControlResult::Unhandled();
}

void FirmwarePage::ChooseFirmwareFile(PageContext& ctx) {
  const std::optional<QString> chosen =
      ctx.ui.ChooseOpenFile(QStringLiteral("*.bin"), QStringLiteral("All File (*.bin)|*.bin||"));
  if (chosen) ctx.controls.SetText(kFirmwarePathEdit, *chosen);
}

ActionResult FirmwarePage::DownloadFirmware(PageContext& ctx) {
  // Replies are waited for with the window's pump running; a click on
  // Download delivered there must not start a second download.
  const ReentryGuard guard(downloading_);
  if (!guard.Entered()) return ActionResult{ActionOutcome::Refused, 0, {}, {}};
  auto refuse = [&ctx](int stringId) { return Refuse(ctx, stringId); };

  const QString path = ctx.controls.Text(kFirmwarePathEdit);
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return refuse(kStrFileNotExist);
  // Only a regular file is sent: a folder cannot be read as one, and a pipe
  // or a device could block the open or never end.
  if (!info.isFile()) return refuse(kStrCantOpenPrinter);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return refuse(kStrCantOpenPrinter);
  // The size travels as a 32-bit count: a larger image cannot be announced
  // or numbered, and is refused before the printer hears of it.
  if (file.size() > kLargestImage) return refuse(kStrCantOpenPrinter);
  const std::uint32_t size = static_cast<std::uint32_t>(file.size());
  // An empty file is no image; a printer told to expect one would be left
  // waiting for a firmware that never comes.
  if (size == 0) return RefuseWith(ctx, LoadWindowText(WindowText::EmptyFirmware, ctx.langId));
  if (!ctx.ui.Confirm(LoadWindowText(WindowText::ConfirmFirmware, ctx.langId)
                          .arg(info.fileName(), QLocale(QLocale::English).toString(qint64{size}),
                               NamePrinter(ctx.printer.modelName, ctx.link.portPath, ctx.langId))))
    return ActionResult{ActionOutcome::Refused, 0, {}, {}};

  std::uint8_t packet[kPacketBufferSize];
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);

  Transfer transfer{ctx, *port.link, file, size, packet, {}, {}};
  const int failure = port.link->SerialMode() ? transfer.RunXor() : transfer.RunSum();
  // The port is closed (the end of the image pushed out first) before any
  // message is shown.
  port.link.reset();
  file.close();
  if (failure == 0) return Succeeded();
  if (failure != kStrCommunicateFail) return refuse(failure);
  // Once the printer has heard of the image, a failure leaves it mid-update:
  // the message says what it may hold and what to do.
  ActionResult r = RefuseWith(ctx, LoadString(failure, ctx.langId),
                              FirmwareInterruptedAdvice(std::max(0, ctx.controls.Progress(kFirmwareProgressBar)), ctx.langId));
  r.messageId = failure;
  r.outcome = ActionOutcome::Lost;
  return r;
}

}  // namespace deveder

// The firmware update page: sends a firmware image file to the printer in
// 256-byte blocks. A serial port uses the XOR framing after both sides have
// switched to 115200 bit/s; every other port uses the sum framing. The page
// never asks the printer which framing it speaks.
#pragma once

#include <cstdint>

#include "pages/core/page_logic.h"

namespace deveder {

// Control ids of dialog 136.
inline constexpr int kFirmwareDialogId = 136;
inline constexpr int kFirmwarePathEdit = 1006;
inline constexpr int kFirmwareChooseButton = 1007;
inline constexpr int kFirmwareProgressBar = 1009;
inline constexpr int kFirmwareDownloadButton = 1045;

// The serial speed both sides switch to before the image goes out.
inline constexpr std::uint32_t kFirmwareSerialBaud = 115200;
// Sends and time limit per send of each exchange.
inline constexpr int kFirmwareXorSends = 3;
inline constexpr std::uint32_t kFirmwareXorLimitMs = 1000;
inline constexpr int kFirmwareSumSends = 3;
inline constexpr std::uint32_t kFirmwareSumLimitMs = 1500;
inline constexpr int kFirmwareFinishSends = 1;
inline constexpr std::uint32_t kFirmwareFinishLimitMs = 500;
// The printer gets ready for blocks after the start of the image.
inline constexpr int kFirmwareSettleMs = 80;
// The XOR framing's last block is filled up with this byte.
inline constexpr std::uint8_t kFirmwarePadByte = 0xFF;

// Position of the progress bar after the XOR block that leaves `remaining` of
// `size` bytes, and before the sum block `block` (the share sent before it).
// 64-bit products: 32-bit ones overflow for images above about 42 MB.
int XorProgress(std::uint32_t size, std::uint32_t remaining);
int SumProgress(std::uint32_t size, std::uint32_t block);

class FirmwarePage : public PageLogic {
 public:
  int DialogId() const override { return kFirmwareDialogId; }
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;

  // Button 1007: the file-open dialog; a confirmed choice replaces the path.
  void ChooseFirmwareFile(PageContext& ctx);
  // Button 1045: sends the image at the path in edit 1006 over the port of
  // the communication page. True when it went through; every failure has
  // shown one message. While a download runs, a second one is not started
  // (false, no message).
  ActionResult DownloadFirmware(PageContext& ctx);

 private:
  bool downloading_ = false;  // the window's pump may deliver a second click
};

}  // namespace deveder

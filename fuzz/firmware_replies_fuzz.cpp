// Random bytes after a built request, fed to the reply receiver of its
// framing: the receiver never stores or hands out more than it may.
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/firmware_packets.h"

using namespace deveder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const bool sum = data[0] & 1;
  std::uint32_t argument;
  std::memcpy(&argument, data + 1, 4);
  const std::uint8_t choice = data[5];
  data += 6;
  size -= 6;

  ReplyReceiver receiver;
  std::vector<std::uint8_t> packet(kSumOverheadBytes + kFirmwareBlockBytes);
  if (sum) {
    const std::uint32_t commands[] = {kSumBegin, kSumBlock, kSumFinish, argument & 0xFFFFFF};
    BuildSumPacket(receiver, packet.data(), commands[choice % 4], nullptr, 0);
  } else {
    const std::uint16_t commands[] = {kXorSetSpeed, kXorImage, kXorBlock, static_cast<std::uint16_t>(argument >> 16)};
    BuildXorPacket(receiver, packet.data(), commands[choice % 4], argument, nullptr, 0);
  }
  receiver.Reset();
  std::uint8_t out[ReplyReceiver::kBufferSize + 16];
  const int capacity = 1 + choice % ReplyReceiver::kBufferSize;
  for (std::size_t i = 0; i < size; ++i) {
    if (sum) receiver.FeedSumReplyByte(data[i]);
    else receiver.FeedXorReplyByte(data[i]);
    if (receiver.Count() < 0 || receiver.Count() > ReplyReceiver::kBufferSize) __builtin_trap();
    if (receiver.Acknowledged()) {
      std::memset(out + capacity, 0xA5, sizeof out - static_cast<std::size_t>(capacity));
      const int n = sum ? receiver.TakeSumReplyPayload(out, capacity) : receiver.TakeXorReplyPayload(out, capacity);
      if (n < 0 || n > capacity) __builtin_trap();
      for (std::size_t j = static_cast<std::size_t>(capacity); j < sizeof out; ++j)
        if (out[j] != 0xA5) __builtin_trap();  // nothing written past the room given
      receiver.Reset();
    }
  }
  return 0;
}

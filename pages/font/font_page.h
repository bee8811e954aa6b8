// The font download page: sends a font file or a file of sample (demo) data
// to the printer. One do "download" line announces the kind and the size, the
// printer answers with a go-ahead, the file's bytes follow unchanged in
// chunks, and the printer answers once more when it has taken them all.
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <string>

#include "pages/core/page_logic.h"
#include "protocol/line_value.h"

namespace deveder {

// Control ids of dialog 134.
inline constexpr int kFontDialogId = 134;
inline constexpr int kFontDownloadButton = 1004;
inline constexpr int kFontPathEdit = 1006;
inline constexpr int kFontChooseButton = 1007;
inline constexpr int kFontProgressBar = 1009;
inline constexpr int kFontKindList = 1072;

// The kinds of data, by their index in list 1072.
enum class FontKind { Font = 0, FontExt = 1, Demo = 2 };

// The kind a list selection stands for: no selection is the standard font.
FontKind FontKindOfIndex(int index);

// File bytes go out in chunks of this size; the progress moves after each.
inline constexpr int kFontChunkBytes = 4096;
// An extended font's file name, converted to printer bytes, must fit this
// buffer together with its terminating NUL.
inline constexpr int kFontNameBufferSize = 1024;
// The size field of the line is a signed 32-bit decimal.
inline constexpr qint64 kFontLargestFile = 0x7FFFFFFF;

// The file name an extended font is announced with: the last component of
// `path` in printer bytes, or why it cannot travel in the line (a control
// character, a double quote, a character the code page lacks).
LineValue FontFileNameValue(const QString& path, int langId);
// What the user knows that value as, in messages.
QString FontFileNameField(int langId);

// The line that announces a download of `size` bytes. `nameBytes` (the file
// name in printer bytes) is sent for FontKind::FontExt only. nullopt when the
// size does not fit the line's size field, the name does not fit
// kFontNameBufferSize or holds a byte a line cannot carry.
std::optional<std::string> FontDownloadLine(FontKind kind, const std::string& nameBytes, qint64 size);

// How long the download waits for the printer's two answers. The go-ahead
// follows the line at once; the confirmation may come only after the printer
// has stored the file, so its wait starts once the last byte has left.
struct FontDownloadBounds {
  int goAheadMs = 10000;
  int confirmationMs = 30000;
};

class FontPage : public PageLogic {
 public:
  int DialogId() const override { return kFontDialogId; }
  void OnCreate(PageContext& ctx) override;
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;

  // Button 1007: the file-open dialog; a confirmed choice replaces the path.
  void ChooseFontFile(PageContext& ctx);
  // Button 1004: sends the file at the path in edit 1006. True when the
  // printer confirmed the download; every failure has shown one message.
  // While a download runs, a second one is not started (false, no message).
  ActionResult DownloadFontFile(PageContext& ctx);

  FontDownloadBounds bounds;

 private:
  bool downloading_ = false;  // the window's pump may deliver a second click
};

}  // namespace deveder

// test, font download and firmware download: the pages' buttons pressed
// over in-memory controls.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <map>

#include "cli/cli_commands.h"
#include "pages/core/printable.h"
#include "pages/firmware/firmware_page.h"
#include "pages/core/write_values.h"
#include "pages/font/font_page.h"
#include "pages/test/test_page.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "resources/window_texts.h"

namespace deveder::cli {

int CmdTest(Session& session, const Args& args) {
  static const std::map<std::string, int> buttons = {
      {"testpage", 1015}, {"bluetooth", 1064}, {"demo", 1104},      {"hexdump", 1066},
      {"raw", 1068},      {"mark", 1069},      {"calibrate", 1106}, {"factory-default", 1065},
  };
  bool yes = false;
  std::string job;
  for (const std::string& a : args) {
    if (a == "--yes") yes = true;
    else if (job.empty()) job = a;
    else job = "?";
  }
  if (!buttons.count(job))
    return Usage("test needs one of testpage, bluetooth, demo, hexdump, raw, mark, calibrate, factory-default");
  if (job == "factory-default" && !yes) {
    // Every setting of the printer goes back to its factory value: asked
    // on a terminal, and never done unasked by a script.
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO))
      return Usage("test factory-default resets every setting of the printer; give --yes to confirm");
    std::fprintf(stderr, "Reset every setting of the printer to its factory value? [y/N] ");
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) {
      std::fprintf(stderr, "test: factory-default not sent\n");
      return kExitFailed;
    }
  }
  if (int rc = session.RequirePort()) return rc;
  auto page = session.Open(std::make_unique<TestPage>(), "test");
  const int rc = session.Press(*page, buttons.at(job));
  if (rc != kExitOk) return rc;
  // The page sends its command in the numbered form to a printer that did
  // not answer the model probe; on a port with no printer behind it (or a
  // dead one) that is no success.
  if (session.Printer().modelName[0] == '\0') {
    page->ui.ShowMessage(kMsgConnectionLost);
    std::fprintf(stderr, "test: %s sent, but no printer answered the model probe on %s\n", job.c_str(),
                 Shown(session.Port()).c_str());
    return kExitFailed;
  }
  std::fprintf(stderr, "test: %s sent\n", job.c_str());
  return kExitOk;
}

namespace {

// The size of the file to download, for the progress (0 when unknown).
long long FileSize(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : 0;
}

}  // namespace

int CmdFont(Session& session, const Args& args) {
  static const std::map<std::string, int> kinds = {{"standard", 0}, {"extended", 1}, {"demo", 2}};
  if (args.empty() || args[0] != "download") return Usage("font download [--kind standard|extended|demo] FILE");
  int kind = 0;
  std::string file;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--kind") {
      if (i + 1 >= args.size() || !kinds.count(args[i + 1])) return Usage("--kind takes standard, extended or demo");
      kind = kinds.at(args[++i]);
    } else if (file.empty()) {
      file = args[i];
    } else {
      return Usage("font download takes one FILE");
    }
  }
  if (file.empty()) return Usage("font download needs FILE");
  const QString path = QString::fromLocal8Bit(file.c_str());
  // An extended font's name travels in the line: one that cannot is a usage
  // error, with the window's message, before the printer is touched.
  if (FontKindOfIndex(kind) == FontKind::FontExt) {
    if (const auto refusal = RefusalOf(FontFileNameField(session.Lang()), FontFileNameValue(path, session.Lang()))) {
      std::fprintf(stderr, "%s\n", ValueRefusalMessage(*refusal, session.Lang()).toUtf8().constData());
      return kExitUsage;
    }
  }
  if (int rc = session.RequirePort()) return rc;
  auto page = session.Open(std::make_unique<FontPage>(), "font");
  CliControls* controls = page->controls.get();
  session.CatchSignals([controls] {
    return FontInterruptedAdvice(std::max(0, controls->LastProgress()), kLangEnglish).toStdString();
  });
  page->controls->SetDownloadSize(FileSize(file));
  page->controls->SetCurrentIndex(kFontKindList, kind);
  page->controls->SetText(kFontPathEdit, path);
  return session.Press(*page, kFontDownloadButton);
}

int CmdFirmware(Session& session, const Args& args) {
  if (args.size() != 2 || args[0] != "download") return Usage("firmware download FILE");
  const std::string& file = args[1];
  if (int rc = session.RequirePort()) return rc;
  auto page = session.Open(std::make_unique<FirmwarePage>(), "firmware");
  CliControls* controls = page->controls.get();
  session.CatchSignals([controls] {
    return FirmwareInterruptedAdvice(std::max(0, controls->LastProgress()), kLangEnglish).toStdString();
  });
  const long long size = FileSize(file);
  page->controls->SetDownloadSize(size);
  page->controls->SetText(kFirmwarePathEdit, QString::fromLocal8Bit(file.c_str()));
  const int rc = session.Press(*page, kFirmwareDownloadButton);
  // An image that shrank while it was being sent fails as a file that
  // could not be read; the printer has part of it by then.
  if (rc != kExitOk && size > 0 && FileSize(file) < size)
    std::fprintf(stderr,
                 "firmware: %s shrank during the download (%lld bytes at the start, %lld now): part of the image "
                 "was sent (%d %%); download it again from a file that stays as it is\n",
                 Shown(file).c_str(), size, FileSize(file), std::max(0, controls->LastProgress()));
  return rc;
}

}  // namespace deveder::cli

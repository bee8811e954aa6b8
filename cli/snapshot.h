// Page values as the command-line tool shows and applies them, learnt from
// the pages' own Read and Write: a Write run against an in-process simulated
// printer shows what each variable's text on the wire would be, and a Read
// from a simulated printer holding chosen values puts them into the controls
// exactly as the page itself would. No page mapping is written twice.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace deveder::cli {

struct PageDef {
  const char* command;  // "settings", "wifi", "bt"
  const char* jsonKey;  // "settings", "wifi", "bluetooth"
  int readButton;
  int writeButton;
  std::vector<const char*> vars;                        // in output order
  std::vector<std::pair<const char*, int>> shownOnly;   // never written: the control shown
  std::function<std::unique_ptr<PageLogic>()> make;
};

const PageDef& SettingsDef();
const PageDef& WifiDef();
const PageDef& BluetoothDef();

// Printer bytes of each variable; nullopt where the Write would send nothing.
using Values = std::map<std::string, std::optional<std::string>>;

// What the page's Write would send now, by variable (the page must have been
// read). Display-only variables carry the text their control shows. With
// `kept`, the printer's own values the Write leaves out (a line cannot carry
// them back) are given there with the bytes as read.
Values CaptureWrite(Session& session, Session::Page& page, const PageDef& def, Values* kept = nullptr);

// Puts `values` into the page's controls through the page's Read. False when
// the read could not run.
bool LoadIntoControls(Session& session, Session::Page& page, const PageDef& def, const Values& values);

// Reads the page from the printer. Exit code.
int ReadPage(Session& session, Session::Page& page, const PageDef& def);

// Applies `changes` to the page (already read): usage error when a name is
// unknown or a value fits no control. Returns kExitOk, or kExitUsage with
// `error` set; nothing is sent to the printer here.
int ApplyValues(Session& session, Session::Page& page, const PageDef& def, const Values& changes, std::string& error);

// Output: one JSON object, or aligned "name  value" lines.
std::string ValuesJson(const PageDef& def, const Values& values, int lang);
std::string ValuesText(const PageDef& def, const Values& values, int lang);

}  // namespace deveder::cli

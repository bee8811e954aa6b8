// Text that came from a printer, a file or another process, made safe to
// print: every character a terminal would act on instead of showing (ESC
// and the other controls, DEL, line and paragraph separators, direction
// overrides and other format characters) is written as an escape, so that
// a model name cannot move the cursor or rewrite lines printed before it.
#pragma once

#include <QString>
#include <string>

namespace deveder {

// UTF-8 of `text` with those characters as \xHH (a byte the code page
// leaves undefined also as \xHH, the byte itself) or \u{HHHH}. With
// `value`, line feeds and tabs are escaped too and a backslash is doubled,
// so that a list of values stays one value a line and unambiguous.
std::string Shown(const QString& text, bool value = false);
// The same for UTF-8 text (a process name, a message built of such text).
std::string Shown(const std::string& utf8);

}  // namespace deveder

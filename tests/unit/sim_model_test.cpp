// The simulated printer's model name as a setvar changes it.
#include <gtest/gtest.h>

#include <string>

#include "sim/interpreter.h"
#include "sim/printer_sim.h"

using namespace deveder;

namespace {

void Feed(sim::Interpreter& in, const std::string& bytes) {
  in.Feed(bytes.data(), bytes.size());
  in.Quiet();
}

}  // namespace

// Only the first field changes, however often it is set and whatever the
// value holds: the reply keeps its number, languages and form.
TEST(SimModel, SettingTheNameReplacesOnlyTheFirstField) {
  sim::PrinterSim printer;  // not started: replies go nowhere
  sim::Interpreter in(printer);
  Feed(in, "\x1b\x1b! U1 setvar \"model\" \"TQ99\"\r\n");
  EXPECT_EQ(printer.ModelReply(), "TQ99;250;CPCL,ESCPOS,TSPL;1");
  for (int i = 0; i < 50; ++i) Feed(in, "\x1b\x1b! U1 setvar \"model\" \"AB;CD;EF;GH\"\r\n");
  EXPECT_EQ(printer.ModelReply(), "AB;250;CPCL,ESCPOS,TSPL;1");
}

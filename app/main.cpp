// deveder: the service tool's window.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "link/port_walk.h"
#include "link/std_streams_posix.h"
#include "resources/version.h"

int main(int argc, char** argv) {
  deveder::EnsureStandardStreams();
  // Answered before any display is needed.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("deveder %s\n", deveder::kProgramVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "usage: deveder [--help] [--version]\n"
          "The service tool for thermal receipt and label printers: one window with seven pages\n"
          "(communication, settings, Bluetooth, WiFi, font download, test, firmware update).\n"
          "Printers on /dev/usb/lpN and /dev/lpN need group lp, serial ports group dialout.\n"
          "deveder-cli runs the same actions from the command line; deveder-cli doctor explains\n"
          "why a printer cannot be reached.\n");
      return 0;
    }
  }
  QApplication app(argc, argv);
  return deveder::CDEVederApp::Run(deveder::MakeSystemDeviceSource());
}

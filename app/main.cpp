// deveder: the service tool's window.
#include <QApplication>

#include "app/app.h"
#include "link/port_walk.h"
#include "link/std_streams_posix.h"

int main(int argc, char** argv) {
  deveder::EnsureStandardStreams();
  QApplication app(argc, argv);
  return deveder::CDEVederApp::Run(deveder::MakeSystemDeviceSource());
}

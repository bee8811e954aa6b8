// deveder: the service tool's window.
#include <QApplication>

#include "app/app.h"
#include "link/port_walk.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return deveder::CDEVederApp::Run(deveder::MakeSystemDeviceSource());
}

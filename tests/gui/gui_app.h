// The one QApplication of the widget tests.
#pragma once

#include <QApplication>

namespace deveder::tst {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace deveder::tst

// The one QApplication of the widget tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace deveder::tst {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Answers the next modal box with the button whose text (without its
// mnemonic mark) starts with `answer`, once the event loop runs; keeps the
// box's text.
inline void AnswerNextQuestion(const QString& answer, QString& text) {
  QTimer::singleShot(0, [answer, &text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    text = box->text();
    for (QAbstractButton* b : box->buttons())
      if (b->text().remove(QLatin1Char('&')).startsWith(answer)) b->click();
  });
}

}  // namespace deveder::tst

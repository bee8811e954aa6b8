#include "app/ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "pages/core/ip_text.h"
#include "resources/window_texts.h"

namespace deveder {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    auto* f = new QLineEdit(this);
    f->setAlignment(Qt::AlignCenter);
    f->setMaxLength(3);
    f->setValidator(new QIntValidator(0, 255, f));
    f->installEventFilter(this);
    fields_[i] = f;
    layout->addWidget(f, 1);
    if (i + 1 < fields_.size()) layout->addWidget(new QLabel(QStringLiteral("."), this));
    // Three digits complete an octet: move on like the platform's control.
    // The keystroke that takes an octet past 255 is undone and refused.
    QObject::connect(f, &QLineEdit::textChanged, this, [this, i](const QString& now) {
      if (now.toInt() <= 255) accepted_[i] = now;
    });
    QObject::connect(f, &QLineEdit::textEdited, this, [this, i](const QString& typed) {
      if (typed.toInt() > 255) {
        const int cursor = fields_[i]->cursorPosition();
        fields_[i]->setText(accepted_[i]);
        fields_[i]->setCursorPosition(std::max(0, cursor - 1));
        Refuse(typed);
        return;
      }
      if (typed.size() == 3 && i + 1 < fields_.size()) {
        fields_[i + 1]->setFocus();
        fields_[i + 1]->selectAll();
      }
    });
  }
}

void IpAddressEdit::Refuse(const QString& typed) {
  if (refusal_) {
    refusal_(typed);
    return;
  }
  QMessageBox box(QMessageBox::Warning, window()->windowTitle(),
                  LoadWindowText(WindowText::OctetOutOfRange, langId_).arg(typed), QMessageBox::Ok, this);
  box.exec();
}

QString IpAddressEdit::text() const {
  std::array<QString, 4> parts;
  for (std::size_t i = 0; i < fields_.size(); ++i) parts[i] = fields_[i]->text();
  return JoinIpOctets(parts);
}

void IpAddressEdit::setText(const QString& text) {
  const std::array<QString, 4> parts = SplitIpOctets(text);
  for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(parts[i]);
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (watched != fields_[i]) continue;
      if ((key->text() == QLatin1String(".") || key->key() == Qt::Key_Period) && i + 1 < fields_.size()) {
        if (!fields_[i]->text().isEmpty()) {
          fields_[i + 1]->setFocus();
          fields_[i + 1]->selectAll();
        }
        return true;
      }
      if (key->key() == Qt::Key_Backspace && fields_[i]->text().isEmpty() && i > 0) {
        fields_[i - 1]->setFocus();
        return false;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void IpAddressEdit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange)
    for (QLineEdit* f : fields_) f->setEnabled(isEnabled());
  QWidget::changeEvent(event);
}

}  // namespace deveder

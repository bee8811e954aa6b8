#include "app/ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "pages/core/ip_text.h"

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
    // An octet above 255 becomes 255 as it is typed.
    QObject::connect(f, &QLineEdit::textEdited, this, [this, i](const QString& typed) {
      QString t = typed;
      if (t.toInt() > 255) {
        t = QStringLiteral("255");
        fields_[i]->setText(t);
      }
      if (t.size() == 3 && i + 1 < fields_.size()) {
        fields_[i + 1]->setFocus();
        fields_[i + 1]->selectAll();
      }
    });
  }
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

// A four-field IPv4 address entry: four octets 0-255; a typed dot moves to
// the next octet; its text is the dotted address, or empty when all four
// fields are blank.
#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

namespace deveder {

class IpAddressEdit : public QWidget {
 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);
  QString text() const;
  // Shows what can be read of a dotted address; anything else blanks the field.
  void setText(const QString& text);
  QLineEdit* octet(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  std::array<QLineEdit*, 4> fields_{};
};

}  // namespace deveder

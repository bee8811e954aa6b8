// A four-field IPv4 address entry: four octets 0-255; a typed dot moves to
// the next octet; its text is the dotted address, or empty when all four
// fields are blank. A keystroke that would take an octet past 255 is
// refused with a message.
#pragma once

#include <QWidget>
#include <array>
#include <functional>

class QLineEdit;

namespace deveder {

class IpAddressEdit : public QWidget {
 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);
  QString text() const;
  // Shows what can be read of a dotted address; anything else blanks the field.
  void setText(const QString& text);
  QLineEdit* octet(int i) const { return fields_[static_cast<std::size_t>(i)]; }
  // The language of the refusal message (2052 Chinese, else English).
  void setLangId(int langId) { langId_ = langId; }
  // Shows the refusal of `typed` (an octet above 255); a message box unless
  // replaced.
  void setRefusal(std::function<void(const QString& typed)> refusal) { refusal_ = std::move(refusal); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Refuse(const QString& typed);
  std::array<QLineEdit*, 4> fields_{};
  std::array<QString, 4> accepted_;  // what each octet held within 0-255
  int langId_ = 1033;
  std::function<void(const QString&)> refusal_;
};

}  // namespace deveder

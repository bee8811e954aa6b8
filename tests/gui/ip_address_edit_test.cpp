// The four-field address entry: typing, dots, limits and its text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/app.h"
#include "app/ip_address_edit.h"
#include "gui/gui_app.h"
#include "pages/core/ip_text.h"
#include "protocol/text_codec.h"

using namespace deveder;

namespace {

// Types `keys` into whichever octet has the focus, as a user would.
void Type(IpAddressEdit& edit, const QString& keys) {
  for (QChar c : keys) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = edit.octet(0);
    const int key = c == QLatin1Char('.') ? Qt::Key_Period : Qt::Key_0 + c.digitValue();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &release);
  }
}

class IpEditFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    edit.show();
    edit.activateWindow();
    QApplication::setActiveWindow(&edit);
    edit.octet(0)->setFocus();
    QApplication::processEvents();
  }
  QApplication& app = tst::App();  // before any widget
  IpAddressEdit edit;
};

TEST_F(IpEditFixture, TypedDotsMoveToTheNextOctet) {
  Type(edit, QStringLiteral("192.168.1.20"));
  EXPECT_EQ(edit.text(), QStringLiteral("192.168.1.20"));
  EXPECT_EQ(QApplication::focusWidget(), edit.octet(3));
}

TEST_F(IpEditFixture, ThreeDigitsMoveOnAndADotOnABlankOctetStays) {
  Type(edit, QStringLiteral(".10"));  // a dot before any digit does not skip the octet
  Type(edit, QStringLiteral("0"));   // "100" is complete: the next octet takes the rest
  Type(edit, QStringLiteral("7"));
  EXPECT_EQ(edit.octet(0)->text(), QStringLiteral("100"));
  EXPECT_EQ(edit.octet(1)->text(), QStringLiteral("7"));
  EXPECT_EQ(edit.text(), QStringLiteral("100.7.0.0"));
}

TEST_F(IpEditFixture, AnOctetNeverPassesTwoHundredFiftyFive) {
  QStringList refused;
  edit.setRefusal([&](const QString& typed) { refused << typed; });
  Type(edit, QStringLiteral("300.256.999.1"));
  for (int i = 0; i < 3; ++i) EXPECT_LE(edit.octet(i)->text().toInt(), 255) << i;
  const QStringList parts = edit.text().split(QLatin1Char('.'));
  ASSERT_EQ(parts.size(), 4);
  for (const QString& p : parts) EXPECT_LE(p.toInt(), 255);
  // Each keystroke past 255 is refused, and the octet keeps what it held.
  EXPECT_EQ(refused, (QStringList{"300", "256", "999"}));
  EXPECT_EQ(edit.text(), QStringLiteral("30.25.99.1"));
}

TEST_F(IpEditFixture, BlankFieldHasAnEmptyTextAndBadTextsBlankIt) {
  EXPECT_EQ(edit.text(), QString());
  edit.setText(QStringLiteral("10.0.0.254"));
  EXPECT_EQ(edit.text(), QStringLiteral("10.0.0.254"));
  for (const char* bad : {"10.0.0", "10.0.0.256", "a.b.c.d", "1.2.3.4.5", "-1.2.3.4", ""}) {
    edit.setText(QString::fromLatin1(bad));
    EXPECT_EQ(edit.text(), QString()) << bad;
  }
  edit.octet(2)->setText(QStringLiteral("5"));  // one octet typed: the rest read as 0
  EXPECT_EQ(edit.text(), QStringLiteral("0.0.5.0"));
}

TEST(IpText, JoinClampsAndNormalizeRoundTrips) {
  EXPECT_EQ(JoinIpOctets({QStringLiteral("300"), QString(), QStringLiteral("007"), QStringLiteral("1")}),
            QStringLiteral("255.0.7.1"));
  EXPECT_EQ(NormalizeIpText(QStringLiteral(" 192.168.001.010 ")), QStringLiteral("192.168.1.10"));
  // An octet above 255 makes the whole text no address.
  EXPECT_EQ(NormalizeIpText(QStringLiteral("255.255.255.255")), QStringLiteral("255.255.255.255"));
  EXPECT_EQ(NormalizeIpText(QStringLiteral("10.0.0.256")), QString());
}

}  // namespace

TEST(QtTexts, TheChineseInterfaceHasQtsOwnButtonsInChinese) {
  tst::App();
  QTranslator english, chinese;
  EXPECT_FALSE(InstallQtTranslations(kLangEnglish, english));
  ASSERT_TRUE(InstallQtTranslations(kLangChinese, chinese)) << "qt6-translations-l10n missing?";
  EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  QCoreApplication::removeTranslator(&chinese);
}

#include "pages/core/ip_text.h"

#include <QStringList>
#include <algorithm>

namespace deveder {

std::array<QString, 4> SplitIpOctets(const QString& text) {
  std::array<QString, 4> out;
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  if (parts.size() != 4) return out;
  std::array<QString, 4> octets;
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const QString& p = parts.at(i);
    int v = p.toInt(&ok);
    if (!ok || p.isEmpty() || p.size() > 3 || v < 0 || v > 255) return out;
    octets[static_cast<std::size_t>(i)] = QString::number(v);
  }
  return octets;
}

QString JoinIpOctets(const std::array<QString, 4>& octets) {
  bool allBlank = true;
  for (const QString& o : octets) allBlank = allBlank && o.isEmpty();
  if (allBlank) return {};
  QStringList parts;
  for (const QString& o : octets) parts << (o.isEmpty() ? QStringLiteral("0") : QString::number(std::min(o.toInt(), 255)));
  return parts.join(QLatin1Char('.'));
}

QString NormalizeIpText(const QString& text) { return JoinIpOctets(SplitIpOctets(text)); }

}  // namespace deveder

// Text of a four-field address control: the dotted address of four octets,
// empty when all four fields are blank.
#pragma once

#include <QString>
#include <array>

namespace deveder {

// What the control shows for a text put into it: the octets of a dotted
// IPv4 address (each 0-255); anything it cannot read leaves all four blank.
std::array<QString, 4> SplitIpOctets(const QString& text);

// The control's text: all blank → empty; otherwise blank octets count as 0
// and an octet above 255 as 255.
QString JoinIpOctets(const std::array<QString, 4>& octets);

// Both ways at once: the text the control would report after `text` was put in.
QString NormalizeIpText(const QString& text);

}  // namespace deveder

#include "app/app_icon.h"

#include <QPainter>

namespace deveder {

void PaintAppIcon(QPainter& p, int size) {
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size / 32.0;
  // Paper coming out of the printer, with two printed lines.
  p.setBrush(QColor(250, 250, 245));
  p.setPen(QPen(QColor(90, 90, 90), 1.0 * s));
  p.drawRect(QRectF(9 * s, 2 * s, 14 * s, 14 * s));
  p.setPen(QPen(QColor(40, 40, 40), 1.5 * s));
  p.drawLine(QPointF(12 * s, 7 * s), QPointF(20 * s, 7 * s));
  p.drawLine(QPointF(12 * s, 11 * s), QPointF(18 * s, 11 * s));
  // The printer body.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(38, 98, 170));
  p.drawRoundedRect(QRectF(3 * s, 14 * s, 26 * s, 14 * s), 3 * s, 3 * s);
  p.setBrush(QColor(20, 50, 90));
  p.drawRect(QRectF(8 * s, 16 * s, 16 * s, 2.5 * s));
  p.setBrush(QColor(120, 220, 120));
  p.drawEllipse(QPointF(24 * s, 23.5 * s), 1.8 * s, 1.8 * s);
}

}  // namespace deveder

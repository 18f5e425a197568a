#include "ui/app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zdl::ui {

namespace {

struct Picture {
  const char* key;
  const char* theme;  // freedesktop icon name
  QColor colour;
  const char* glyph;
};

const Picture kPictures[] = {
    {"Abrir", "document-open", QColor(0x2e, 0x7d, 0x32), "\u25B2"},
    {"Guardar", "document-save", QColor(0x15, 0x65, 0xc0), "\u25BC"},
    {"General", "preferences-system", QColor(0x45, 0x5a, 0x64), "G"},
    {"Alarmas1", "dialog-warning", QColor(0xc6, 0x28, 0x28), "1"},
    {"Alarmas2", "dialog-warning", QColor(0xad, 0x14, 0x57), "2"},
    {"Macros", "system-run", QColor(0x6a, 0x1b, 0x9a), "M"},
    {"Datalogger", "x-office-spreadsheet", QColor(0x00, 0x83, 0x8f), "D"},
    {"Timer", "appointment-new", QColor(0xef, 0x6c, 0x00), "T"},
    {"Firmware", "system-software-update", QColor(0x37, 0x47, 0x4f), "F"},
    {"Idioma", "preferences-desktop-locale", QColor(0x55, 0x8b, 0x2f), "A\u00E9"},
};

QIcon Painted(const QColor& colour, const QString& glyph) {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal m = size / 16.0;
    path.addRoundedRect(QRectF(m, m, size - 2 * m, size - 2 * m), 3 * m, 3 * m);
    p.fillPath(path, colour);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(size * (glyph.size() > 1 ? 0.42 : 0.6)));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon ToolbarIcon(const QString& key) {
  for (const Picture& pic : kPictures) {
    if (key == QLatin1String(pic.key)) {
      return QIcon::fromTheme(QString::fromLatin1(pic.theme),
                              Painted(pic.colour, QString::fromUtf8(pic.glyph)));
    }
  }
  return {};
}

QIcon AppIcon() { return Painted(QColor(0xc6, 0x28, 0x28), QStringLiteral("N")); }

}  // namespace zdl::ui

#include "components/skin/skinlabel.h"

SkinLabel::SkinLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

SkinLabel::SkinLabel(const QString& caption, QWidget* parent) : SkinLabel(parent) { setCaption(caption); }

void SkinLabel::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
}

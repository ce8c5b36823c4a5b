#include "platform/ribbon/RibbonBackstageButton.h"

#include <QPainter>
#include <QStyleOptionToolButton>

namespace Qtitan {

RibbonBackstageButton::RibbonBackstageButton(QWidget* parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
}

void RibbonBackstageButton::paintEvent(QPaintEvent* event)
{
    if (toolButtonStyle() != Qt::ToolButtonTextUnderIcon) {
        QToolButton::paintEvent(event);
        return;
    }
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    QPainter p(this);

    const QRect frame = rect().adjusted(0, 0, -1, -1);
    if (opt.state & (QStyle::State_Sunken | QStyle::State_On)) {
        p.fillRect(frame, QColor(0xc2, 0xd5, 0xf2));
        p.setPen(QColor(0x8d, 0xb2, 0xe3));
        p.drawRect(frame);
    } else if ((opt.state & QStyle::State_MouseOver) && isEnabled()) {
        p.fillRect(frame, QColor(0xe1, 0xec, 0xfa));
        p.setPen(QColor(0xb4, 0xcd, 0xe9));
        p.drawRect(frame);
    }

    const QSize iconSz = iconSize();
    const int top = 6;
    if (!icon().isNull()) {
        const QPixmap pm = icon().pixmap(iconSz, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        p.drawPixmap(QRect(QPoint((width() - iconSz.width()) / 2, top), iconSz), pm);
    }
    const QRect textRect(3, top + iconSz.height() + 4, width() - 6, height() - top - iconSz.height() - 6);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
    // A word longer than the button is wide gets a smaller font rather than cut.
    QFont f = font();
    while (f.pointSizeF() > 6.0
           && QFontMetrics(f).boundingRect(textRect, flags, text()).width() > textRect.width())
        f.setPointSizeF(f.pointSizeF() - 0.5);
    p.setFont(f);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(textRect, flags, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

} // namespace Qtitan

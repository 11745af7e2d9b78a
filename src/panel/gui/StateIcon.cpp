#include "StateIcon.h"

#include "LcdColours.h"

#include <QPainter>

StateIcon::StateIcon(Kind kind, QWidget *parent)
    : QWidget(parent)
    , m_kind(kind)
{
    setFixedSize(sizeHint());
    QSizePolicy keepPlace = sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    setSizePolicy(keepPlace);
}

QSize StateIcon::sizeHint() const
{
    return { 26, 26 };
}

void StateIcon::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(LcdColours::ink());
    const QRectF r = QRectF(rect()).adjusted(4, 4, -4, -4);
    switch (m_kind) {
    case Kind::Run:
        p.drawPolygon(
            QPolygonF({ r.topLeft(), QPointF(r.right(), r.center().y()), r.bottomLeft() }));
        break;
    case Kind::Pause: {
        const double bar = r.width() * 0.34;
        p.drawRect(QRectF(r.left(), r.top(), bar, r.height()));
        p.drawRect(QRectF(r.right() - bar, r.top(), bar, r.height()));
        break;
    }
    case Kind::Stop:
        p.drawRect(r.adjusted(1, 1, -1, -1));
        break;
    }
}

#include "bench/windowfit.h"

#include <algorithm>

QSize benchWindowSize(const QSize& room, const QSize& minimum)
{
    return benchDesignSize.boundedTo(room).expandedTo(minimum);
}

QRect fitInside(const QRect& saved, const QRect& available)
{
    QRect r = saved;
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    if (r.right() > available.right())
        r.moveRight(available.right());
    if (r.bottom() > available.bottom())
        r.moveBottom(available.bottom());
    if (r.left() < available.left())
        r.moveLeft(available.left());
    if (r.top() < available.top())
        r.moveTop(available.top());
    return r;
}

int cardGridColumns(int rowWidth, int cardWidth, int spacing, int count)
{
    if (count <= 0)
        return 1;
    const int step = std::max(1, cardWidth + spacing);
    const int fitting = (rowWidth + spacing) / step;
    return std::clamp(fitting, 1, count);
}

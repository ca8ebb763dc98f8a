#pragma once

#include <QImage>
#include <QRect>

#include <algorithm>
#include <functional>

// The smallest rectangle holding every pixel of the image that passes, within rows [top, bottom);
// a negative bottom stands for the image's height.
inline QRect boundsOf(const QImage& image, const std::function<bool(QRgb)>& passes, int top = 0, int bottom = -1)
{
    if (bottom < 0)
        bottom = image.height();
    QRect bounds;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (passes(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

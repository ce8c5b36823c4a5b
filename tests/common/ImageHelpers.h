#ifndef HW_IMAGEHELPERS_H
#define HW_IMAGEHELPERS_H

#include <QColor>
#include <QImage>

namespace hwtest {

// Strongly red pixels (red above 200, green and blue below maxGreenBlue),
// looked at on every step-th row and column.
inline int countRedPixels(const QImage &image, int maxGreenBlue, int step = 2)
{
    int red = 0;
    for (int y = 0; y < image.height(); y += step)
        for (int x = 0; x < image.width(); x += step) {
            const QColor c(image.pixel(x, y));
            if (c.red() > 200 && c.green() < maxGreenBlue && c.blue() < maxGreenBlue)
                ++red;
        }
    return red;
}

} // namespace hwtest

#endif // HW_IMAGEHELPERS_H

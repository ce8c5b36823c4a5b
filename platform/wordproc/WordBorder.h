#ifndef WORDBORDER_H
#define WORDBORDER_H

// One table border. lineStyle 0 none, 1 single, 2 dotted, 3 small-gap
// dashes, 4 dashes, 5 dot-dash, 6 dot-dot-dash, 7 double; lineWidth in
// eighths of a point (2 = 0.25 pt, 4 = 0.5 pt, 8 = 1 pt); colour 0xBBGGRR.
struct WordBorder
{
    int lineStyle = 1;
    int lineWidth = 4;
    int color = 0;
};

#endif // WORDBORDER_H

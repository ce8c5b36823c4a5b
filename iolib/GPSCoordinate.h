#ifndef GPSCOORDINATE_H
#define GPSCOORDINATE_H

// One station's coordinates, in the column order of a GPS file. Single
// precision is part of the library's binary interface.
struct GPSCoordinate {
    float lineNo;
    float pointNo;
    float x;
    float y;
    float z;
};

#endif

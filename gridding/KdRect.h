#ifndef HW_KDRECT_H
#define HW_KDRECT_H

// An axis-aligned hyper-rectangle of k dimensions. Owns its two arrays.
struct KdRect {
    int k = 0;
    double *min = nullptr;
    double *max = nullptr;

    KdRect() = default;
    ~KdRect()
    {
        delete[] min;
        delete[] max;
    }
    KdRect(const KdRect &) = delete;
    KdRect &operator=(const KdRect &) = delete;
};

#endif

#ifndef HW_KDNODE_H
#define HW_KDNODE_H

// One stored point of a KdTree. The tree owns the node and its position
// copy; the payload belongs to whoever inserted the point.
struct KdNode {
    double *position = nullptr;   // k coordinates, owned
    int axis = 0;                 // split axis, 0 .. k-1
    void *payload = nullptr;      // never read or freed by the tree
    KdNode *left = nullptr;       // coordinates on the split axis below this node's
    KdNode *right = nullptr;      // equal or above
};

#endif

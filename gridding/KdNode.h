#ifndef HW_KDNODE_H
#define HW_KDNODE_H

// One node of a KdTree's balanced index: a run of stored points, split in
// two halves by its children unless it is a leaf. Its bounding box lies in
// the index's box array at the node's position.
struct KdNode {
    int first = 0;    // first slot of the node's points in the index order
    int count = 0;    // number of points below the node
    int left = -1;    // child nodes; -1 for a leaf
    int right = -1;
    int axis = 0;           // split axis of an inner node
    double leftMax = 0.0;   // the left child's largest coordinate on it
    double rightMin = 0.0;  // the right child's smallest coordinate on it
};

#endif

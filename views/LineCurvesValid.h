#ifndef HW_VIEWS_LINECURVESVALID_H
#define HW_VIEWS_LINECURVESVALID_H

// Whether the channel curves last drawn from a line, by either form, were
// free of abnormal values (NaN, infinite, subnormal). The section views stay
// unchanged while it is false. GUI thread only; true at start.
extern bool lineCurvesValid;

#endif // HW_VIEWS_LINECURVESVALID_H

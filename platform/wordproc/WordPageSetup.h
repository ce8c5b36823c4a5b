#ifndef WORDPAGESETUP_H
#define WORDPAGESETUP_H

// Page size and margins in points; A4 portrait by default.
struct WordPageSetup
{
    double pageWidth = 595.3;
    double pageHeight = 841.9;
    double topMargin = 72.0;
    double bottomMargin = 72.0;
    double leftMargin = 90.0;
    double rightMargin = 90.0;
};

#endif // WORDPAGESETUP_H

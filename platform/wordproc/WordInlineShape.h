#ifndef WORDINLINESHAPE_H
#define WORDINLINESHAPE_H

#include <QByteArray>
#include <QString>

// A picture placed in the text flow. It starts at the image's own size
// (from its resolution, 96 dpi when the file has none); width and height
// can then be set, in points: independently, or, with the aspect ratio
// locked, each one scaling the other along.
class WordInlineShape
{
public:
    // Loads an image file; returns nullptr when it is missing or unreadable.
    static WordInlineShape* fromFile(const QString& path);

    double width() const { return m_width; }
    double height() const { return m_height; }
    void setWidth(double points);
    void setHeight(double points);
    bool lockAspectRatio() const { return m_lockAspectRatio; }
    void setLockAspectRatio(bool locked) { m_lockAspectRatio = locked; }

    QByteArray data() const { return m_data; }
    QString extension() const { return m_extension; }   // png, jpeg, gif or bmp
    QString contentType() const;

private:
    WordInlineShape() = default;

    QByteArray m_data;
    QString m_extension;
    double m_width = 0.0;
    double m_height = 0.0;
    bool m_lockAspectRatio = false;
};

#endif // WORDINLINESHAPE_H

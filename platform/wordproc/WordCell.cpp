#include "platform/wordproc/WordCell.h"

void WordCell::setText(const QString& text)
{
    m_text = text;
    m_pictures.clear();
}

WordInlineShape* WordCell::addPicture(const QString& path)
{
    WordInlineShape* shape = WordInlineShape::fromFile(path);
    if (shape)
        m_pictures.emplace_back(shape);
    return shape;
}

#ifndef DOCXWRITER_H
#define DOCXWRITER_H

#include <QString>

class QIODevice;
class WordDocument;

// Serialises a document as an Office Open XML word-processing package:
// [Content_Types].xml, _rels/.rels, word/document.xml, word/fontTable.xml,
// word/_rels/document.xml.rels and the pictures under word/media/.
class DocxWriter
{
public:
    static bool write(const WordDocument& document, QIODevice* device, QString* error);
};

#endif // DOCXWRITER_H

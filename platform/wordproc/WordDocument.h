#ifndef WORDDOCUMENT_H
#define WORDDOCUMENT_H

#include "platform/wordproc/WordFont.h"
#include "platform/wordproc/WordInlineShape.h"
#include "platform/wordproc/WordPageSetup.h"
#include "platform/wordproc/WordParagraphFormat.h"
#include "platform/wordproc/WordTable.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class WordSelection;

// A document: a flow of paragraphs and tables written at one selection that
// always sits at the end of the flow, saved as an Office Open XML file.
class WordDocument
{
public:
    WordDocument();
    ~WordDocument();
    WordDocument(const WordDocument&) = delete;
    WordDocument& operator=(const WordDocument&) = delete;

    WordPageSetup& pageSetup() { return m_pageSetup; }
    const WordPageSetup& pageSetup() const { return m_pageSetup; }

    // Families a reader should use, in order, where it lacks the named
    // font; written to the document's font table.
    void setFontAlternatives(const QString& name, const QStringList& families) { m_fontAlternatives[name] = families; }
    QMap<QString, QStringList> fontAlternatives() const { return m_fontAlternatives; }

    // Language of East Asian text (a tag such as "zh-CN"), which decides
    // the glyph forms where a font carries several; empty for none.
    void setEastAsianLanguage(const QString& tag) { m_eastAsianLanguage = tag; }
    QString eastAsianLanguage() const { return m_eastAsianLanguage; }

    // The insertion point; owned by the document.
    WordSelection* selection() const { return m_selection.get(); }

    // Writes the document to path (replacing the file only when the whole
    // document was written); false with a reason otherwise.
    bool saveAs(const QString& path, QString* error = nullptr);
    // Saves again under the last path given to saveAs.
    bool save(QString* error = nullptr);
    QString fullName() const { return m_fullName; }

    // Content as the writer reads it: the ended blocks, then the paragraph
    // at the selection, which is always written last.
    struct Run {
        QString text;
        WordFont font;
        std::unique_ptr<WordInlineShape> picture;
        int breakType = 0; // 6 line break, 7 page break
    };
    struct Paragraph {
        WordParagraphFormat format;
        std::vector<Run> runs;
        int sectionBreak = 0; // 2..5: the section ends with this paragraph
    };
    struct Block {
        std::unique_ptr<Paragraph> paragraph;
        std::unique_ptr<WordTable> table;
    };

    const std::vector<Block>& blocks() const { return m_blocks; }
    const Paragraph& openParagraph() const { return m_open; }

private:
    friend class WordSelection;

    void endParagraph();

    std::vector<Block> m_blocks;
    Paragraph m_open; // the paragraph at the selection, not yet ended
    WordPageSetup m_pageSetup;
    std::unique_ptr<WordSelection> m_selection;
    QString m_fullName;
    QMap<QString, QStringList> m_fontAlternatives;
    QString m_eastAsianLanguage;
};

#endif // WORDDOCUMENT_H

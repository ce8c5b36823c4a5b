#include "platform/wordproc/WordDocument.h"

#include "platform/wordproc/DocxWriter.h"
#include "platform/wordproc/WordSelection.h"

#include <QSaveFile>

WordDocument::WordDocument()
    : m_selection(new WordSelection(this))
{
}

WordDocument::~WordDocument() = default;

void WordDocument::endParagraph()
{
    Block block;
    block.paragraph.reset(new Paragraph(std::move(m_open)));
    m_blocks.push_back(std::move(block));
    m_open = Paragraph();
    m_open.format = m_blocks.back().paragraph->format;
}

bool WordDocument::saveAs(const QString& path, QString* error)
{
    QString why;
    QSaveFile file(path);
    if (path.isEmpty()) {
        why = QStringLiteral("no file name");
    } else if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
    } else if (!DocxWriter::write(*this, &file, &why)) {
        file.cancelWriting();
    } else if (!file.flush()) {
        // The commit would not notice a final flush that failed.
        why = file.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        why = file.errorString();
    } else {
        m_fullName = path;
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot save %1: %2").arg(path, why);
    return false;
}

bool WordDocument::save(QString* error)
{
    return saveAs(m_fullName, error);
}

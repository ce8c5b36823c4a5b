#ifndef WORDAPPLICATION_H
#define WORDAPPLICATION_H

#include "platform/wordproc/WordDocument.h"

#include <QString>

#include <memory>
#include <vector>

class WordSelection;

// Entry object of the document writer, shaped like a word-processor
// automation server: choose the server, add documents, reach the active
// document and its selection, quit.
class WordApplication
{
public:
    // Accepts the identifiers "word.Application" and "kwps.Application"
    // (any letter case); false for anything else.
    bool setControl(const QString& progId);
    bool isNull() const { return m_control.isEmpty(); }
    QString control() const { return m_control; }

    // Accepted for compatibility; nothing is ever shown.
    void setVisible(bool) {}

    // A new empty document, which becomes the active one; nullptr before a
    // control was set. The application keeps ownership.
    WordDocument* addDocument();
    WordDocument* activeDocument() const { return m_active; }
    // The active document's selection, nullptr without one.
    WordSelection* selection() const;
    int documentCount() const { return static_cast<int>(m_documents.size()); }

    // Closes a document, saving it first under its last name when asked
    // (and it has one). Returns false when that save failed.
    bool closeDocument(WordDocument* document, bool saveChanges);
    // Closes every document without saving and releases the control.
    void quit();

private:
    QString m_control;
    std::vector<std::unique_ptr<WordDocument>> m_documents;
    WordDocument* m_active = nullptr;
};

#endif // WORDAPPLICATION_H

#include "platform/wordproc/WordApplication.h"

#include "platform/wordproc/WordSelection.h"

#include <algorithm>

bool WordApplication::setControl(const QString& progId)
{
    if (progId.compare(QLatin1String("word.Application"), Qt::CaseInsensitive) != 0
        && progId.compare(QLatin1String("kwps.Application"), Qt::CaseInsensitive) != 0)
        return false;
    m_control = progId;
    return true;
}

WordDocument* WordApplication::addDocument()
{
    if (isNull())
        return nullptr;
    m_documents.emplace_back(new WordDocument);
    m_active = m_documents.back().get();
    return m_active;
}

WordSelection* WordApplication::selection() const
{
    return m_active ? m_active->selection() : nullptr;
}

bool WordApplication::closeDocument(WordDocument* document, bool saveChanges)
{
    const auto it = std::find_if(m_documents.begin(), m_documents.end(),
                                 [document](const std::unique_ptr<WordDocument>& d) { return d.get() == document; });
    if (it == m_documents.end())
        return false;
    bool ok = true;
    if (saveChanges && !document->fullName().isEmpty())
        ok = document->save();
    m_documents.erase(it);
    m_active = m_documents.empty() ? nullptr : m_documents.back().get();
    return ok;
}

void WordApplication::quit()
{
    m_documents.clear();
    m_active = nullptr;
    m_control.clear();
}

#pragma once

#include <QWidget>

class QHBoxLayout;

namespace Qtitan {

class RibbonGroup;

// One tab of the ribbon: groups side by side, left-aligned.
class RibbonPage : public QWidget
{
    Q_OBJECT
public:
    explicit RibbonPage(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    RibbonGroup* addGroup(const QString& title);
    QList<RibbonGroup*> groups() const { return m_groups; }

private:
    QString m_title;
    QHBoxLayout* m_layout = nullptr;
    QList<RibbonGroup*> m_groups;
};

} // namespace Qtitan

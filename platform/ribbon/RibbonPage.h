#pragma once

#include <QVector>
#include <QWidget>

class QFrame;
class QHBoxLayout;
class QToolButton;

namespace Qtitan {

class RibbonGroup;

// One tab of the ribbon: groups side by side, left-aligned. When the page is
// too narrow for all groups, groups collapse from the right into a single
// drop-down button (title and icon) whose popup holds the group itself.
class RibbonPage : public QWidget
{
    Q_OBJECT
public:
    explicit RibbonPage(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    RibbonGroup* addGroup(const QString& title);
    QList<RibbonGroup*> groups() const { return m_groups; }

    bool isGroupCollapsed(RibbonGroup* group) const;
    // The drop-down button standing for a collapsed group (hidden otherwise).
    QToolButton* collapsedButton(RibbonGroup* group) const;

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Slot {
        RibbonGroup* group = nullptr;
        QFrame* separator = nullptr;
        QToolButton* button = nullptr;
        QWidget* holder = nullptr; // the popup's content while collapsed
        bool collapsed = false;
    };
    int widthWith(const QVector<bool>& collapsed) const;
    void fitGroups();
    void setCollapsed(Slot& slot, bool collapsed);
    int slotIndex(RibbonGroup* group) const;

    QString m_title;
    QHBoxLayout* m_layout = nullptr;
    QList<RibbonGroup*> m_groups;
    QList<Slot> m_slots;
};

} // namespace Qtitan

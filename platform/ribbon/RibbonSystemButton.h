#pragma once

#include "platform/ribbon/RibbonBackstageView.h"

#include <QPointer>
#include <QToolButton>

namespace Qtitan {

// The coloured "File" button at the left of the tab row; opens the backstage.
class RibbonSystemButton : public QToolButton
{
    Q_OBJECT
public:
    explicit RibbonSystemButton(QWidget* parent = nullptr);

    void setBackstage(RibbonBackstageView* backstage);
    RibbonBackstageView* backstage() const { return m_backstage; }

private slots:
    void openBackstage();

private:
    QPointer<RibbonBackstageView> m_backstage;
};

} // namespace Qtitan

#ifndef HW_SHELL_BACKSTAGEPAGEINFO_H
#define HW_SHELL_BACKSTAGEPAGEINFO_H

#include "platform/ribbon/RibbonBackstagePage.h"

namespace Ui {
class InfoPage;
}

// The backstage's information page: a static presentation.
class BackstagePageInfo : public Qtitan::RibbonBackstagePage
{
    Q_OBJECT

public:
    explicit BackstagePageInfo(QWidget* parent = nullptr);
    ~BackstagePageInfo() override;

    BackstagePageInfo(const BackstagePageInfo&) = delete;
    BackstagePageInfo& operator=(const BackstagePageInfo&) = delete;

private:
    Ui::InfoPage* ui;
};

#endif // HW_SHELL_BACKSTAGEPAGEINFO_H

#ifndef HW_SHELL_BACKSTAGEPAGEABOUT_H
#define HW_SHELL_BACKSTAGEPAGEABOUT_H

#include "platform/ribbon/RibbonBackstagePage.h"

namespace Ui {
class AboutPage;
}

// The backstage's about page: a static presentation.
class BackstagePageAbout : public Qtitan::RibbonBackstagePage
{
public:
    explicit BackstagePageAbout(QWidget* parent = nullptr);
    ~BackstagePageAbout() override;

    BackstagePageAbout(const BackstagePageAbout&) = delete;
    BackstagePageAbout& operator=(const BackstagePageAbout&) = delete;

private:
    Ui::AboutPage* ui;
};

#endif // HW_SHELL_BACKSTAGEPAGEABOUT_H

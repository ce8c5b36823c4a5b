#include "shell/BackstagePageInfo.h"

#include "ui_BackstagePageInfo.h"

BackstagePageInfo::BackstagePageInfo(QWidget* parent)
    : Qtitan::RibbonBackstagePage(parent), ui(new Ui::InfoPage)
{
    ui->setupUi(this);
}

BackstagePageInfo::~BackstagePageInfo()
{
    delete ui;
}

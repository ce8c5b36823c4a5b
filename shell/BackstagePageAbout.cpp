#include "shell/BackstagePageAbout.h"

#include "ui_BackstagePageAbout.h"

BackstagePageAbout::BackstagePageAbout(QWidget* parent)
    : Qtitan::RibbonBackstagePage(parent), ui(new Ui::AboutPage)
{
    ui->setupUi(this);
}

BackstagePageAbout::~BackstagePageAbout()
{
    delete ui;
}

#include "app/tab_strip.h"

#include <QFrame>
#include <QResizeEvent>
#include <QTabBar>

namespace tesvaron {

TabStrip::TabStrip(const QStringList& captions, QWidget* parent) : QWidget(parent)
{
    bar_ = new QTabBar(this);
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    for (const QString& caption : captions)
        bar_->addTab(caption);
    page_ = new QFrame(this);
    page_->setFrameShape(QFrame::StyledPanel);
    page_->setFrameShadow(QFrame::Raised);
    page_->lower();

    // A press on a tab selects it (currentChanged) or re-selects it: either way one Click.
    connect(bar_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0) return;
        if (index == bar_->currentIndex()) {
            emit Click();
            return;
        }
        clicking_ = true;
        bar_->setCurrentIndex(index);
        clicking_ = false;
        emit Click();
    });
    // Keyboard selection changes the tab without a press.
    connect(bar_, &QTabBar::currentChanged, this, [this](int) {
        if (!clicking_) emit Click();
    });
}

void TabStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int tabs = bar_->sizeHint().height();
    bar_->setGeometry(2, 0, width() - 4, tabs);
    page_->setGeometry(0, tabs - 1, width(), height() - tabs + 1);
}

int TabStrip::SelectedItem() const
{
    return bar_->currentIndex() + 1;
}

void TabStrip::selectItem(int position)
{
    const QSignalBlocker quiet(bar_);
    bar_->setCurrentIndex(position - 1);
}

void TabStrip::clickTab(int position)
{
    if (!isEnabled()) return;
    emit bar_->tabBarClicked(position - 1);
}

} // namespace tesvaron

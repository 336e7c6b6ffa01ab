#pragma once
// A tab strip: the tabs along the top and the page border below them. It holds no pages; the
// window lays its own widgets over the page area. Click() fires for every click on a tab,
// also on the one already selected.

#include <QWidget>

class QTabBar;
class QFrame;

namespace tesvaron {

class TabStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TabStrip(const QStringList& captions, QWidget* parent = nullptr);

    // 1-based position of the selected tab.
    int SelectedItem() const;
    void selectItem(int position);
    // Selects the tab at `position` (1-based) as a user's click would, and fires Click().
    void clickTab(int position);
    QTabBar* tabBar() const { return bar_; }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabBar* bar_;
    QFrame* page_;
    bool clicking_ = false;
};

} // namespace tesvaron

#pragma once
// A single row of tabs that also holds the page below them (the score grid is
// its child). Changing the tabs from code is silent: only a change the user
// makes emits `changed`, so a handler never runs because code selected a tab.

#include <QStringList>
#include <QTabBar>

namespace morvane::widgets {

class TabStrip : public QTabBar {
    Q_OBJECT

public:
    explicit TabStrip(QWidget* parent = nullptr);

    // The tabs, replaced as a whole (the captions the form gives at design time).
    void setTabCaptions(const QStringList& captions);
    void SetCaption(int index, const QString& caption);
    void AppendTab(const QString& caption);
    void Select(int index);

signals:
    // The user selected the tab at `index`.
    void changed(int index);

protected:
    QSize tabSizeHint(int index) const override;

private:
    bool quiet_ = false;
};

}  // namespace morvane::widgets

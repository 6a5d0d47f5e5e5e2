#include "widgets/TabStrip.h"

#include <QScopedValueRollback>

namespace morvane::widgets {
namespace {

constexpr int kTabHeight = 24;

// A caption is shown as it is: an ampersand is not a mnemonic.
QString Literal(const QString& caption) {
    QString text = caption;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

TabStrip::TabStrip(QWidget* parent) : QTabBar(parent) {
    setShape(QTabBar::RoundedNorth);
    setExpanding(false);
    setDrawBase(true);
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        if (!quiet_) emit changed(index);
    });
}

void TabStrip::setTabCaptions(const QStringList& captions) {
    QScopedValueRollback quiet(quiet_, true);
    while (count() > 0) removeTab(count() - 1);
    for (const QString& caption : captions) addTab(Literal(caption));
}

void TabStrip::SetCaption(int index, const QString& caption) {
    QScopedValueRollback quiet(quiet_, true);
    if (index < count()) setTabText(index, Literal(caption));
}

void TabStrip::AppendTab(const QString& caption) {
    QScopedValueRollback quiet(quiet_, true);
    addTab(Literal(caption));
}

void TabStrip::Select(int index) {
    QScopedValueRollback quiet(quiet_, true);
    setCurrentIndex(index);
}

QSize TabStrip::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    size.setHeight(kTabHeight);
    return size;
}

}  // namespace morvane::widgets

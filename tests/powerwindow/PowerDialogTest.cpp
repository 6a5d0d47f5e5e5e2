// The power calculator: each thing it finds agrees with the power
// calculation `morvane power` runs (and with the published N of 33 and 95),
// its inputs follow what is found, and an input out of range is said, not
// answered.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

#include "powerwindow/PowerDialog.h"
#include "runtime/NumberText.h"
#include "stats/Power.h"

namespace morvane {

class PowerDialogTest : public QObject {
    Q_OBJECT

private slots:
    void FindsWhatItIsAskedAsThePowerCalculationDoes();
    void TypedInputsAreReadAndRefusedWhenOutOfRange();
};

// A within factor of three measures at partial eta squared .05: N 33 for
// power .80 in the power programs' convention (rho .5), 95 in the packages'.
void PowerDialogTest::FindsWhatItIsAskedAsThePowerCalculationDoes() {
    PowerDialog dialog(nullptr);
    PowerQuestion q;
    q.design.measures = 3;
    q.etaSquared = true;
    q.size = 0.05L;
    dialog.Ask(q);
    QVERIFY2(dialog.Answer().contains(QStringLiteral(u"必要な総 N: 33")), qPrintable(dialog.Answer()));
    dialog.findChild<QComboBox*>(QStringLiteral("ConventionBox"))->setCurrentIndex(1);
    QVERIFY2(dialog.Answer().contains(QStringLiteral(u"必要な総 N: 95")), qPrintable(dialog.Answer()));
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("RhoEdit"))->isEnabled());

    // The power at N of an interaction of three groups, and the smallest f at that N.
    q = PowerQuestion{};
    q.design = {PowerEffect::Interaction, PowerConvention::PowerPrograms, 4, 3, 0.6L, 0.75L, 0.05L};
    q.find = PowerQuestion::Find::Power;
    q.size = 0.2L;
    q.n = 30;
    dialog.Ask(q);
    const std::optional<PowerAtN> at = PowerOfTest(q.design, 0.2L, 30);
    QVERIFY(at);
    QVERIFY2(dialog.Answer().contains(QString::fromStdString(GeneralText(at->power, 7))),
             qPrintable(dialog.Answer()));
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("PowerEdit"))->isEnabled());
    dialog.findChild<QComboBox*>(QStringLiteral("FindBox"))->setCurrentIndex(2);
    const std::optional<DetectableEffect> least = SmallestDetectableF(q.design, 30, 0.8L);
    QVERIFY(least);
    QVERIFY2(
        dialog.Answer().contains(QStringLiteral("f = ") + QString::fromStdString(GeneralText(least->f, 7))),
        qPrintable(dialog.Answer()));
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("SizeEdit"))->isEnabled());
    // A between effect's groups: the N with equal groups beside the total.
    q.design.effect = PowerEffect::Between;
    q.find = PowerQuestion::Find::N;
    dialog.Ask(q);
    const std::optional<PowerAtN> n = SmallestNForPower(q.design, 0.2L, 0.8L);
    QVERIFY(n);
    QVERIFY2(dialog.Answer().contains(QStringLiteral(u"必要な総 N: %1").arg(static_cast<long long>(n->n))),
             qPrintable(dialog.Answer()));
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("EpsilonEdit"))->isEnabled());
}

void PowerDialogTest::TypedInputsAreReadAndRefusedWhenOutOfRange() {
    PowerDialog dialog(nullptr);
    auto* size = dialog.findChild<QLineEdit*>(QStringLiteral("SizeEdit"));
    auto* levels = dialog.findChild<QSpinBox*>(QStringLiteral("LevelsBox"));
    QVERIFY(size && levels);
    levels->setValue(3);
    size->setText(QStringLiteral("0.1"));
    const std::optional<PowerQuestion> q = dialog.Question();
    QVERIFY(q);
    QCOMPARE(q->design.measures, 3);
    QCOMPARE(static_cast<double>(q->size), 0.1);
    const std::optional<PowerAtN> n = SmallestNForPower(q->design, 0.1L, q->power);
    QVERIFY(n);
    QVERIFY(dialog.Answer().contains(QString::number(static_cast<long long>(n->n))));

    size->setText(QStringLiteral("abc"));
    QVERIFY(!dialog.Question());
    QCOMPARE(dialog.Answer(), QStringLiteral(u"f は 0 以上の数です"));
    size->setText(QStringLiteral("0.1"));
    dialog.findChild<QLineEdit*>(QStringLiteral("RhoEdit"))->setText(QStringLiteral("1"));
    QVERIFY(!dialog.Question());
    QVERIFY(dialog.Answer().contains(QStringLiteral("rho")));
    dialog.findChild<QLineEdit*>(QStringLiteral("RhoEdit"))->setText(QStringLiteral(".5"));
    dialog.findChild<QLineEdit*>(QStringLiteral("PowerEdit"))->setText(QStringLiteral("0.01"));
    QVERIFY(!dialog.Question());
    QVERIFY(dialog.Answer().contains(QStringLiteral(u"検出力は α より大きく")));
    dialog.findChild<QLineEdit*>(QStringLiteral("PowerEdit"))->setText(QStringLiteral("0.8"));
    QVERIFY(dialog.Question());
}

}  // namespace morvane

QTEST_MAIN(morvane::PowerDialogTest)
#include "PowerDialogTest.moc"

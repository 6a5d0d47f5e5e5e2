#include "powerwindow/PowerDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "runtime/NumberText.h"

namespace morvane {
namespace {

// The largest total N the search for N goes to, as `morvane power`'s.
constexpr long long kLargestN = 1000000000LL;

// A number of an input, all of its text; absent where it is not one.
std::optional<Extended> NumberIn(const QLineEdit* edit) {
    const std::string text = edit->text().trimmed().toStdString();
    Extended value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString Figure(Extended value) {
    return QString::fromStdString(GeneralText(value, 7));
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QSpinBox* Count(QWidget* parent, const char* name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, 1000000);
    return box;
}

// The answer's lines: what was found, then the test it is of.
QString AnswerText(const PowerQuestion& q, Extended f, const PowerAtN& test) {
    QString text;
    const auto n = static_cast<long long>(test.n);
    if (q.find == PowerQuestion::Find::N) {
        text = QCoreApplication::translate("morvane::PowerDialog", "検出力 %1 に必要な総 N: %2")
                   .arg(Figure(q.power))
                   .arg(n);
        if (q.design.groups > 1) {
            const long long equal = (n + q.design.groups - 1) / q.design.groups * q.design.groups;
            text += QCoreApplication::translate("morvane::PowerDialog", " (群を等しくすると %1)").arg(equal);
        }
    } else if (q.find == PowerQuestion::Find::SmallestF) {
        text = QCoreApplication::translate("morvane::PowerDialog",
                                           "総 N %1 で検出力 %2 の最小の効果: f = %3 (偏 η² = %4)")
                   .arg(n)
                   .arg(Figure(q.power), Figure(f), Figure(PartialEtaSquaredFromF(f)));
    } else {
        text = QCoreApplication::translate("morvane::PowerDialog", "総 N %1 での検出力: %2")
                   .arg(n)
                   .arg(Figure(test.power));
    }
    text += QCoreApplication::translate("morvane::PowerDialog",
                                        "\nλ = %1、自由度 = %2, %3、臨界 F = %4、検出力 = %5")
                .arg(Figure(test.lambda), Figure(test.df1), Figure(test.df2), Figure(test.criticalF),
                     Figure(test.power));
    return text;
}

}  // namespace

PowerDialog::PowerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PowerDialog"));
    setWindowTitle(tr("検出力の計算"));
    setMinimumWidth(460);
    effect_ = new QComboBox(this);
    effect_->setObjectName(QStringLiteral("EffectBox"));
    effect_->addItems({tr("被験者内"), tr("被験者間"), tr("交互作用")});
    levels_ = Count(this, "LevelsBox");
    groups_ = Count(this, "GroupsBox");
    sizeKind_ = new QComboBox(this);
    sizeKind_->setObjectName(QStringLiteral("SizeKindBox"));
    sizeKind_->addItems({QStringLiteral("f"), tr("偏 η²")});
    size_ = Edit(this, "SizeEdit");
    convention_ = new QComboBox(this);
    convention_->setObjectName(QStringLiteral("ConventionBox"));
    convention_->addItems({tr("検出力計算プログラム (gpower)"), tr("統計パッケージ (spss)")});
    rho_ = Edit(this, "RhoEdit");
    epsilon_ = Edit(this, "EpsilonEdit");
    alpha_ = Edit(this, "AlphaEdit");
    find_ = new QComboBox(this);
    find_->setObjectName(QStringLiteral("FindBox"));
    find_->addItems({tr("総 N での検出力"), tr("検出力に必要な総 N"), tr("総 N と検出力での最小の効果")});
    n_ = Edit(this, "NEdit");
    power_ = Edit(this, "PowerEdit");
    answer_ = new QLabel(this);
    answer_->setObjectName(QStringLiteral("AnswerLabel"));
    answer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    answer_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("効果"), effect_);
    form->addRow(tr("測定の数 M"), levels_);
    form->addRow(tr("群の数 K"), groups_);
    form->addRow(sizeKind_, size_);
    form->addRow(tr("流儀"), convention_);
    form->addRow(tr("測定間の相関 ρ"), rho_);
    form->addRow(QStringLiteral(u"ε"), epsilon_);
    form->addRow(QStringLiteral(u"α"), alpha_);
    form->addRow(tr("求めるもの"), find_);
    form->addRow(tr("総 N"), n_);
    form->addRow(tr("検出力"), power_);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(answer_);

    for (QComboBox* box : {effect_, sizeKind_, convention_, find_})
        connect(box, &QComboBox::currentIndexChanged, this, &PowerDialog::Recalculate);
    for (QSpinBox* box : {levels_, groups_})
        connect(box, &QSpinBox::valueChanged, this, &PowerDialog::Recalculate);
    for (QLineEdit* edit : {size_, rho_, epsilon_, alpha_, n_, power_})
        connect(edit, &QLineEdit::textChanged, this, &PowerDialog::Recalculate);
    Ask(PowerQuestion{});
}

void PowerDialog::Ask(const PowerQuestion& q) {
    asking_ = true;
    effect_->setCurrentIndex(static_cast<int>(q.design.effect));
    levels_->setValue(q.design.measures);
    groups_->setValue(q.design.groups);
    sizeKind_->setCurrentIndex(q.etaSquared ? 1 : 0);
    size_->setText(Figure(q.size));
    convention_->setCurrentIndex(q.design.convention == PowerConvention::StatisticsPackages ? 1 : 0);
    rho_->setText(Figure(q.design.rho));
    epsilon_->setText(Figure(q.design.epsilon));
    alpha_->setText(Figure(q.design.alpha));
    find_->setCurrentIndex(static_cast<int>(q.find));
    n_->setText(QString::number(q.n));
    power_->setText(Figure(q.power));
    asking_ = false;
    Recalculate();
}

std::optional<PowerQuestion> PowerDialog::Question() const {
    PowerQuestion q;
    q.design.effect = static_cast<PowerEffect>(effect_->currentIndex());
    q.design.convention = convention_->currentIndex() == 1 ? PowerConvention::StatisticsPackages
                                                           : PowerConvention::PowerPrograms;
    q.design.measures = levels_->value();
    q.design.groups = groups_->value();
    q.find = static_cast<PowerQuestion::Find>(find_->currentIndex());
    q.etaSquared = sizeKind_->currentIndex() == 1;
    const auto refuse = [&](const QString& why) {
        problem_ = why;
        return std::nullopt;
    };
    const std::optional<Extended> size = NumberIn(size_), rho = NumberIn(rho_), epsilon = NumberIn(epsilon_),
                                  alpha = NumberIn(alpha_), n = NumberIn(n_), power = NumberIn(power_);
    if (!rho || !epsilon || !alpha) return refuse(tr("ρ、ε、α は数です"));
    q.design.rho = *rho, q.design.epsilon = *epsilon, q.design.alpha = *alpha;
    const std::string_view problem = PowerDesignProblem(q.design);
    if (!problem.empty())
        return refuse(QString::fromUtf8(problem.data(), static_cast<qsizetype>(problem.size())));
    if (q.find != PowerQuestion::Find::SmallestF) {
        if (!size || *size < 0 || (q.etaSquared && *size >= 1))
            return refuse(q.etaSquared ? tr("偏 η² は 0 以上 1 未満の数です") : tr("f は 0 以上の数です"));
        q.size = *size;
    }
    if (q.find != PowerQuestion::Find::Power) {
        if (!power || !(*power > q.design.alpha && *power < 1))
            return refuse(tr("検出力は α より大きく 1 より小さい数です"));
        q.power = *power;
    }
    if (q.find != PowerQuestion::Find::N) {
        const long long least = SmallestPlannableN(q.design);
        if (!n || *n != std::floor(*n) || *n < static_cast<Extended>(least) ||
            *n > static_cast<Extended>(kLargestN))
            return refuse(tr("総 N は %1 から 1000000000 までの整数です").arg(least));
        q.n = static_cast<long long>(*n);
    }
    problem_.clear();
    return q;
}

QString PowerDialog::Answer() const {
    return answer_->text();
}

void PowerDialog::Recalculate() {
    if (asking_) return;
    FollowChoices();
    const std::optional<PowerQuestion> q = Question();
    if (!q) {
        answer_->setText(problem_);
        return;
    }
    const Extended f = q->etaSquared ? FFromPartialEtaSquared(q->size) : q->size;
    std::optional<PowerAtN> test;
    Extended found = f;
    if (q->find == PowerQuestion::Find::SmallestF) {
        if (const std::optional<DetectableEffect> d =
                SmallestDetectableF(q->design, static_cast<Extended>(q->n), q->power))
            found = d->f, test = d->test;
    } else if (q->find == PowerQuestion::Find::N) {
        test = SmallestNForPower(q->design, f, q->power, kLargestN);
    } else {
        test = PowerOfTest(q->design, f, static_cast<Extended>(q->n));
    }
    if (!test) {
        answer_->setText(q->find == PowerQuestion::Find::N
                             ? tr("1000000000 までの総 N では検出力に届きません")
                             : tr("この値では非心 F 分布を評価できません"));
        return;
    }
    answer_->setText(AnswerText(*q, found, *test));
}

void PowerDialog::FollowChoices() {
    const bool packages = convention_->currentIndex() == 1;
    const bool between = effect_->currentIndex() == static_cast<int>(PowerEffect::Between);
    const auto find = static_cast<PowerQuestion::Find>(find_->currentIndex());
    rho_->setEnabled(!packages);
    epsilon_->setEnabled(!between);
    size_->setEnabled(find != PowerQuestion::Find::SmallestF);
    sizeKind_->setEnabled(find != PowerQuestion::Find::SmallestF);
    n_->setEnabled(find != PowerQuestion::Find::N);
    power_->setEnabled(find != PowerQuestion::Find::Power);
}

}  // namespace morvane

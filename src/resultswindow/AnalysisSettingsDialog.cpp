#include "resultswindow/AnalysisSettingsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>
#include <utility>

#include "output/AnalysisOptionWords.h"
#include "widgets/FormWindow.h"

namespace morvane {
namespace {

// The effect sizes' meanings beside the tool's names.
const char* const kEffectSizeTips[] = {
    QT_TRANSLATE_NOOP("morvane::AnalysisSettingsDialog", "η²: 効果の平方和を全体の平方和で割ったもの"),
    QT_TRANSLATE_NOOP("morvane::AnalysisSettingsDialog", "偏 ω²"),
    QT_TRANSLATE_NOOP("morvane::AnalysisSettingsDialog", "Cohen の f"),
    QT_TRANSLATE_NOOP("morvane::AnalysisSettingsDialog", "一般化 ω²"),
    QT_TRANSLATE_NOOP("morvane::AnalysisSettingsDialog", "検定力ソフトの f (測定間の相関を除いたもの)"),
};

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The factors' indexes (over between then within) of every interaction of two or more, smallest first.
std::vector<std::vector<std::size_t>> Interactions(std::size_t factors) {
    std::vector<std::vector<std::size_t>> out;
    for (std::size_t size = 2; size <= factors; ++size)
        for (unsigned bits = 0; bits < (1u << factors); ++bits) {
            if (static_cast<std::size_t>(std::popcount(bits)) != size) continue;
            std::vector<std::size_t> set;
            for (std::size_t f = 0; f < factors; ++f)
                if ((bits >> f & 1u) != 0) set.push_back(f);
            out.push_back(std::move(set));
        }
    return out;
}

// A contrast line "名前: 1,-1,0" (or "1,-1,0", named by its text) as the tool's --contrast text of `factor`.
std::string ContrastText(const QString& line, const QString& factor) {
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    QString weights = colon < 0 ? line : line.mid(colon + 1);
    weights.remove(QLatin1Char(' '));
    const QString part = factor + QLatin1Char('=') + weights;
    return (colon < 0 ? part : line.left(colon).trimmed() + QLatin1Char(':') + part).toStdString();
}

}  // namespace

AnalysisSettingsDialog::AnalysisSettingsDialog(QWidget* parent, const widgets::Seams& seams,
                                               std::vector<DesignFactor> between,
                                               std::vector<DesignFactor> within,
                                               const anova::Options& options, bool observedApplies)
    : QDialog(parent),
      seams_(seams),
      between_(std::move(between)),
      within_(std::move(within)),
      observedApplies_(observedApplies),
      chosen_(options) {
    setObjectName(QStringLiteral("AnalysisSettingsDialog"));
    setWindowTitle(tr("分析の設定"));
    setFont(widgets::FormWindow::WindowFont());
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* body = new QWidget(scroll);
    auto* columns = new QHBoxLayout(body);
    columns->addWidget(MakeComparisons(body), 0, Qt::AlignTop);
    auto* right = new QVBoxLayout;
    right->addWidget(MakeContrasts(body));
    right->addWidget(MakeCells(body));
    right->addStretch();
    columns->addLayout(right, 1);
    scroll->setWidget(body);
    layout->addWidget(scroll, 1);

    auto* note = new QLabel(tr("ＯＫ を押すと、この設定で分析し直します。設定は、このウィンドウの"
                               "再読み込みでも使われます。"),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("ＯＫ"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("OkButton"));
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &AnalysisSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AnalysisSettingsDialog::reject);
    layout->addWidget(buttons);
    Fill(options);
    resize(1060, 560);
}

// The constructor: the adjustments, the effect sizes and the alpha, one above the other.
QWidget* AnalysisSettingsDialog::MakeComparisons(QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* adjust = new QGroupBox(tr("多重比較の調整"), pane);
    adjust->setToolTip(tr("比較と対比の p 値を、族ごとにこの方法で調整します (--adjust)"));
    auto* adjustGrid = new QGridLayout(adjust);
    for (const AdjustmentNames& n : kAdjustmentNames) {
        auto* box = new QCheckBox(QString::fromUtf8(n.name), adjust);
        box->setObjectName(QStringLiteral("Adjust_") + QString::fromLatin1(n.option));
        const int i = static_cast<int>(adjustments_.size());
        adjustGrid->addWidget(box, i / 2, i % 2);
        adjustments_.push_back(box);
    }
    layout->addWidget(adjust);

    auto* sizes = new QGroupBox(tr("表に加える効果量"), pane);
    sizes->setToolTip(tr("偏 η² と一般化 η² に加えて示す効果量です (--effect-sizes)"));
    auto* sizesLayout = new QVBoxLayout(sizes);
    for (std::size_t i = 0; i < kEffectSizeNames.size(); ++i) {
        const QString tip = tr(kEffectSizeTips[i]);
        auto* box = new QCheckBox(
            QString::fromLatin1(kEffectSizeNames[i].name) + QStringLiteral("  (") + tip + QLatin1Char(')'),
            sizes);
        box->setObjectName(QStringLiteral("EffectSize_") + QString::fromLatin1(kEffectSizeNames[i].name));
        sizesLayout->addWidget(box);
        effectSizes_.push_back(box);
    }
    layout->addWidget(sizes);

    auto* alphaRow = new QHBoxLayout;
    auto* alphaLabel = new QLabel(tr("有意水準 α:"), pane);
    alpha_ = new QDoubleSpinBox(pane);
    alpha_->setObjectName(QStringLiteral("AlphaSpin"));
    alpha_->setDecimals(3);
    alpha_->setRange(0.001, 0.5);
    alpha_->setSingleStep(0.01);
    alpha_->setToolTip(tr("頑健性の表が各検定を判定する水準です (--alpha)"));
    alphaLabel->setBuddy(alpha_);
    alphaRow->addWidget(alphaLabel);
    alphaRow->addWidget(alpha_);
    alphaRow->addStretch();
    layout->addLayout(alphaRow);
    layout->addStretch();
    return pane;
}

// The constructor: a row per factor of two or more levels, its trend, spacing
// and contrasts (and, for a long CSV, whether it is measured).
QWidget* AnalysisSettingsDialog::MakeContrasts(QWidget* parent) {
    auto* group = new QGroupBox(tr("計画対比"), parent);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("要因"), group), 0, 0);
    grid->addWidget(new QLabel(tr("多項式 (傾向)"), group), 0, 1);
    grid->addWidget(new QLabel(tr("水準の間隔"), group), 0, 2);
    grid->addWidget(new QLabel(tr("対比 (1 行に 1 つ、「名前: 1,-1,0」)"), group), 0, 3);
    if (observedApplies_) grid->addWidget(new QLabel(tr("測定した要因"), group), 0, 4);
    std::vector<const DesignFactor*> all;
    for (const DesignFactor& f : between_) all.push_back(&f);
    for (const DesignFactor& f : within_) all.push_back(&f);
    int row = 1;
    for (const DesignFactor* f : all) {
        FactorFields fields;
        fields.name = Text(f->name);
        const QString id = QString::number(row - 1);
        grid->addWidget(new QLabel(tr("%1 (%2 水準)").arg(fields.name).arg(f->levels.size()), group), row, 0,
                        Qt::AlignTop);
        fields.trend = new QCheckBox(group);
        fields.trend->setObjectName(QStringLiteral("Trend_") + id);
        fields.trend->setToolTip(tr("この要因の水準の多項式対比 (1 次、2 次…) を求めます (--trend)"));
        fields.spacing = new QLineEdit(group);
        fields.spacing->setObjectName(QStringLiteral("Spacing_") + id);
        fields.spacing->setPlaceholderText(tr("等間隔 (例 0,1,2,4)"));
        fields.spacing->setToolTip(tr("水準の値をコンマで区切って (--spacing)。空なら等間隔です"));
        // Wide enough for six levels' values and for the whole placeholder, in either language.
        const QFontMetrics metrics = fields.spacing->fontMetrics();
        fields.spacing->setMinimumWidth(std::max(metrics.horizontalAdvance(QStringLiteral("0,1,2,4,8,16")),
                                                 metrics.horizontalAdvance(fields.spacing->placeholderText())) +
                                        24);
        fields.spacing->setEnabled(false);
        connect(fields.trend, &QCheckBox::toggled, fields.spacing, &QWidget::setEnabled);
        fields.contrasts = new QPlainTextEdit(group);
        fields.contrasts->setObjectName(QStringLiteral("Contrasts_") + id);
        fields.contrasts->setTabChangesFocus(true);
        fields.contrasts->setPlaceholderText(tr("例 第1対残り: 2,-1,-1"));
        fields.contrasts->setToolTip(
            tr("各行が 1 つの対比です。重みは水準の数だけ、和が 0 になるように (--contrast)"));
        fields.contrasts->setFixedHeight(fields.contrasts->fontMetrics().lineSpacing() * 3 + 12);
        grid->addWidget(fields.trend, row, 1, Qt::AlignTop);
        grid->addWidget(fields.spacing, row, 2, Qt::AlignTop);
        grid->addWidget(fields.contrasts, row, 3);
        if (observedApplies_) {
            fields.observed = new QCheckBox(group);
            fields.observed->setObjectName(QStringLiteral("Observed_") + id);
            fields.observed->setToolTip(
                tr("操作せずに測定した要因として、一般化 η² の分母に含めます (--observed)"));
            grid->addWidget(fields.observed, row, 4, Qt::AlignTop);
        }
        // A factor of one level has no contrast.
        for (QWidget* w : std::initializer_list<QWidget*>{fields.trend, fields.contrasts})
            w->setEnabled(f->levels.size() >= 2);
        factors_.push_back(std::move(fields));
        ++row;
    }
    grid->setColumnStretch(3, 1);
    return group;
}

// The constructor: the interactions whose cells are compared, and the simple interactions.
QWidget* AnalysisSettingsDialog::MakeCells(QWidget* parent) {
    auto* group = new QGroupBox(tr("セルの対比較と単純交互作用"), parent);
    auto* layout = new QVBoxLayout(group);
    allCells_ = new QCheckBox(tr("2 要因の交互作用すべて"), group);
    allCells_->setObjectName(QStringLiteral("AllCells"));
    allCells_->setToolTip(tr("2 要因の交互作用ごとに、そのセルをすべて対にして比べます (--cells all)"));
    layout->addWidget(allCells_);
    auto* boxes = new QGridLayout;
    std::vector<std::string> names;
    for (const DesignFactor& f : between_) names.push_back(f.name);
    for (const DesignFactor& f : within_) names.push_back(f.name);
    for (const std::vector<std::size_t>& set : Interactions(names.size())) {
        CellsField field;
        QString label;
        for (const std::size_t f : set) {
            field.factors.push_back(names[f]);
            label += (label.isEmpty() ? QString() : QStringLiteral(" × ")) + Text(names[f]);
        }
        field.box = new QCheckBox(label, group);
        field.box->setObjectName(QStringLiteral("Cells_") + QString::number(cells_.size()));
        field.box->setToolTip(tr("この交互作用のセルをすべて対にして比べます (--cells)"));
        const int i = static_cast<int>(cells_.size());
        boxes->addWidget(field.box, i / 3, i % 3);
        cells_.push_back(std::move(field));
    }
    layout->addLayout(boxes);
    simpleInteractions_ = new QCheckBox(tr("単純交互作用と単純・単純主効果"), group);
    simpleInteractions_->setObjectName(QStringLiteral("SimpleInteractions"));
    simpleInteractions_->setToolTip(
        tr("要因が 3 つ以上のとき、第 3 の要因の水準ごとの 2 要因の交互作用と、"
           "2 要因の水準の組ごとの主効果を求めます (--simple-interactions)"));
    simpleInteractions_->setEnabled(names.size() >= 3);
    layout->addWidget(simpleInteractions_);
    return group;
}

void AnalysisSettingsDialog::Fill(const anova::Options& options) {
    for (std::size_t i = 0; i < kAdjustmentNames.size(); ++i)
        adjustments_[i]->setChecked(options.adjustments.Has(kAdjustmentNames[i].adjustment));
    for (std::size_t i = 0; i < kEffectSizeNames.size(); ++i)
        effectSizes_[i]->setChecked(options.effectSizes.*(kEffectSizeNames[i].chosen));
    for (FactorFields& fields : factors_) {
        const std::string name = fields.name.toStdString();
        for (const anova::TrendRequest& t : options.trends)
            if (t.factor == name) {
                fields.trend->setChecked(true);
                QStringList scores;
                for (const mpq_class& s : t.scores) scores.append(Text(s.get_str()));
                fields.spacing->setText(scores.join(QLatin1Char(',')));
            }
        QStringList lines;
        for (const anova::ContrastRequest& c : options.contrasts) {
            if (c.parts.size() != 1 || c.parts[0].factor != name) continue;
            QStringList weights;
            for (const mpq_class& w : c.parts[0].weights) weights.append(Text(w.get_str()));
            const QString text = weights.join(QLatin1Char(','));
            const bool named = c.name != name + "=" + text.toStdString();
            lines.append(named ? Text(c.name) + QStringLiteral(": ") + text : text);
        }
        fields.contrasts->setPlainText(lines.join(QLatin1Char('\n')));
        if (fields.observed != nullptr)
            fields.observed->setChecked(std::find(options.observed.begin(), options.observed.end(), name) !=
                                        options.observed.end());
    }
    allCells_->setChecked(options.allCellInteractions);
    for (CellsField& field : cells_)
        field.box->setChecked(std::find(options.cellInteractions.begin(), options.cellInteractions.end(),
                                        field.factors) != options.cellInteractions.end());
    simpleInteractions_->setChecked(options.simpleInteractions);
    alpha_->setValue(static_cast<double>(options.alpha));
}

bool AnalysisSettingsDialog::Refuse(const QString& why, QWidget* field) {
    seams_.messages->ShowError(this, why);
    field->setFocus();
    return false;
}

bool AnalysisSettingsDialog::ReadFactor(const FactorFields& fields, anova::Options& options) {
    const std::string name = fields.name.toStdString();
    anova::Options mine;
    if (fields.trend->isChecked()) {
        mine.trends.push_back({name, {}});
        const QString spacing = fields.spacing->text().remove(QLatin1Char(' '));
        try {
            if (!spacing.isEmpty())
                mine.trends.back().scores = SpacingOf(name + "=" + spacing.toStdString()).weights;
        } catch (const OptionValueError& e) {
            return Refuse(Text(e.what()), fields.spacing);
        }
        if (const std::string why = OptionsRefused(between_, within_, mine); !why.empty())
            return Refuse(Text(why), fields.spacing);
    }
    try {
        for (const QString& line : fields.contrasts->toPlainText().split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                mine.contrasts.push_back(ContrastOf(ContrastText(line.trimmed(), fields.name)));
    } catch (const OptionValueError& e) {
        return Refuse(Text(e.what()), fields.contrasts);
    }
    if (const std::string why = OptionsRefused(between_, within_, mine); !why.empty())
        return Refuse(Text(why), fields.contrasts);
    options.trends.insert(options.trends.end(), mine.trends.begin(), mine.trends.end());
    options.contrasts.insert(options.contrasts.end(), mine.contrasts.begin(), mine.contrasts.end());
    if (fields.observed != nullptr && fields.observed->isChecked()) options.observed.push_back(name);
    return true;
}

bool AnalysisSettingsDialog::Read(anova::Options& options) {
    std::string adjust;
    for (std::size_t i = 0; i < kAdjustmentNames.size(); ++i)
        if (adjustments_[i]->isChecked())
            adjust += (adjust.empty() ? "" : ",") + std::string(kAdjustmentNames[i].option);
    if (adjust.empty()) return Refuse(tr("調整の方法を 1 つ以上選んでください"), adjustments_.front());
    std::string sizes;
    for (std::size_t i = 0; i < kEffectSizeNames.size(); ++i)
        if (effectSizes_[i]->isChecked())
            sizes += (sizes.empty() ? "" : ",") + std::string(kEffectSizeNames[i].name);
    try {
        options.adjustments = AdjustmentsNamed(adjust);
        options.effectSizes = sizes.empty() ? anova::Options::EffectSizes() : EffectSizesNamed(sizes);
        options.alpha = AlphaLevel(QString::number(alpha_->value(), 'f', alpha_->decimals()).toStdString());
    } catch (const OptionValueError& e) {
        return Refuse(Text(e.what()), alpha_);
    }
    options.trends.clear(), options.contrasts.clear(), options.observed.clear();
    for (const FactorFields& fields : factors_)
        if (!ReadFactor(fields, options)) return false;
    if (!observedApplies_) options.observed = chosen_.observed;
    options.allCellInteractions = allCells_->isChecked();
    options.cellInteractions.clear();
    for (const CellsField& field : cells_)
        if (field.box->isChecked()) options.cellInteractions.push_back(field.factors);
    if (const std::string why = OptionsRefused(between_, within_, options); !why.empty())
        return Refuse(Text(why), allCells_);
    options.simpleInteractions = simpleInteractions_->isEnabled() && simpleInteractions_->isChecked();
    return true;
}

void AnalysisSettingsDialog::accept() {
    anova::Options options = chosen_;
    if (!Read(options)) return;
    chosen_ = std::move(options);
    QDialog::accept();
}

}  // namespace morvane

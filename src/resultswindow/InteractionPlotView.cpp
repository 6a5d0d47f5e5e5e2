#include "resultswindow/InteractionPlotView.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>

#include "widgets/QtTranslation.h"

namespace morvane {

InteractionPlotView::InteractionPlotView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(280, 220);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void InteractionPlotView::SetData(plot::InteractionPlotData plotData) {
    data_ = std::move(plotData);
    JudgeSummed();
    update();
}

void InteractionPlotView::resizeEvent(QResizeEvent*) {
    JudgeSummed();
}

void InteractionPlotView::JudgeSummed() {
    const bool summed = plot::InteractionPlotSummed(data_, QSizeF(size()));
    if (summed == summed_) return;
    summed_ = summed;
    emit SummedChanged();
}

QSize InteractionPlotView::sizeHint() const {
    return {460, 380};
}

void InteractionPlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    plot::PaintInteractionPlot(painter, QRectF(rect()), data_);
}

QComboBox* AddErrorBarsChoice(QWidget* parent, QBoxLayout* row) {
    auto* label =
        new QLabel(QCoreApplication::translate("morvane::InteractionPlotView", "誤差線(&E):"), parent);
    auto* choice = new QComboBox(parent);
    choice->setObjectName(QStringLiteral("ErrorBarsChoice"));
    for (plot::ErrorBars bars : {plot::ErrorBars::WithinCi95, plot::ErrorBars::Ci95, plot::ErrorBars::Se})
        choice->addItem(plot::ErrorBarsCaption(bars, widgets::WindowsInEnglish()), static_cast<int>(bars));
    label->setBuddy(choice);
    row->addWidget(label);
    row->addWidget(choice);
    return choice;
}

namespace {

// The plot choices' texts, translated where they are shown.
constexpr const char* kAuto = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "自動");
constexpr const char* kNone = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "なし");
constexpr const char* kAxis = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "横軸(&X):");
constexpr const char* kLines = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "線(&L):");
constexpr const char* kPanels = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "パネル(&N):");
constexpr const char* kSubjects = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "被験者(&J):");
constexpr const char* kNotDrawn = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "描かない");
constexpr const char* kSubjectLines = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "線");
constexpr const char* kSubjectPoints = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "点");
constexpr const char* kSubjectsTip = QT_TRANSLATE_NOOP("morvane::InteractionPlotView", "各被験者の得点を平均の後ろに薄く描きます");

// A text of the plot's choices in the windows' language.
QString Said(const char* text) {
    return QCoreApplication::translate("morvane::InteractionPlotView", text);
}

// A factor choice: 自動 (no data), then none where `none` says so (the data
// "none"), then every factor by name.
void FillFactors(QComboBox* choice, const anova::Analysis& analysis, bool none,
                 const std::optional<std::string>& chosen) {
    const QSignalBlocker quiet(choice);
    choice->clear();
    choice->addItem(Said(kAuto));
    if (none) choice->addItem(Said(kNone), QStringLiteral("none"));
    for (std::size_t f = 0; f < analysis.Factors(); ++f) {
        const QString name = QString::fromStdString(analysis.FactorAt(f).name);
        choice->addItem(name, name);
    }
    const int index = chosen ? choice->findData(QString::fromStdString(*chosen)) : 0;
    choice->setCurrentIndex(std::max(index, 0));
}

std::optional<std::string> Chosen(const QComboBox* choice) {
    const QVariant data = choice->currentData();
    if (!data.isValid()) return std::nullopt;
    return data.toString().toStdString();
}

QComboBox* AddChoice(QWidget* parent, QBoxLayout* row, const QString& label, const char* name) {
    auto* text = new QLabel(label, parent);
    auto* choice = new QComboBox(parent);
    choice->setObjectName(QLatin1String(name));
    // Narrow whatever the factors' names: the list opens as wide as they need.
    choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    choice->setMinimumContentsLength(5);
    text->setBuddy(choice);
    row->addWidget(text);
    row->addWidget(choice);
    return choice;
}

}  // namespace

void ArrangementChoices::Fill(const anova::Analysis& analysis, const plot::PlotArrangement& arrangement,
                              plot::SubjectsShown shown) const {
    FillFactors(axis, analysis, false, arrangement.axis);
    FillFactors(lines, analysis, true, arrangement.lines);
    FillFactors(panels, analysis, false,
                arrangement.panels.empty() ? std::nullopt : std::optional(arrangement.panels.front()));
    const QSignalBlocker quiet(subjects);
    subjects->setCurrentIndex(std::max(0, subjects->findData(static_cast<int>(shown))));
}

void ArrangementChoices::Free(QComboBox* changed) const {
    const std::optional<std::string> taken = Chosen(changed);
    if (!taken || *taken == "none") return;
    const auto reset = [](QComboBox* choice) {
        const QSignalBlocker quiet(choice);
        choice->setCurrentIndex(0);
    };
    for (QComboBox* other : {axis, lines, panels})
        if (other != changed && Chosen(other) == taken) reset(other);
    // The axis left 自動 with every factor placed elsewhere: the other of the
    // lines and the panels gives its factor back to it.
    // A design of one factor: the choice itself goes back.
    const auto crowded = [this] {
        const int placed = (Chosen(lines) && Chosen(lines) != "none" ? 1 : 0) + (Chosen(panels) ? 1 : 0);
        return !Chosen(axis) && placed >= axis->count() - 1;
    };
    if (crowded()) reset(changed == lines ? panels : lines);
    if (crowded()) reset(changed);
}

plot::PlotArrangement ArrangementChoices::Arrangement() const {
    plot::PlotArrangement arrangement;
    arrangement.axis = Chosen(axis);
    arrangement.lines = Chosen(lines);
    if (const auto panel = Chosen(panels)) arrangement.panels.push_back(*panel);
    return arrangement;
}

plot::SubjectsShown ArrangementChoices::Subjects() const {
    return static_cast<plot::SubjectsShown>(subjects->currentData().toInt());
}

ArrangementChoices AddArrangementChoices(QWidget* parent, QBoxLayout* row) {
    ArrangementChoices choices;
    choices.axis = AddChoice(parent, row, Said(kAxis), "AxisChoice");
    choices.lines = AddChoice(parent, row, Said(kLines), "LinesChoice");
    choices.panels = AddChoice(parent, row, Said(kPanels), "PanelsChoice");
    choices.subjects = AddChoice(parent, row, Said(kSubjects), "SubjectsChoice");
    choices.subjects->addItem(Said(kNotDrawn), static_cast<int>(plot::SubjectsShown::None));
    choices.subjects->addItem(Said(kSubjectLines), static_cast<int>(plot::SubjectsShown::Lines));
    choices.subjects->addItem(Said(kSubjectPoints), static_cast<int>(plot::SubjectsShown::Points));
    choices.subjects->setToolTip(Said(kSubjectsTip));
    return choices;
}

}  // namespace morvane

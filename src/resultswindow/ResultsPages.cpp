#include "resultswindow/ResultsPages.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "resultswindow/AnalysisTableModel.h"
#include "resultswindow/QuantilePlotView.h"

namespace morvane {
namespace {

// What each page of the model checks does, in a sentence a reader can check
// against a textbook: the data file's study in its own terms, any design in general ones.
const char* const kStudyMultivariate = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "各効果の k 個の正規直交 Helmert 対比 (A は a − 1 個、B は b − 1 個、A x B はその積) "
    "を被験者ごとに求め、"
    "その平均ベクトル m がゼロかを共分散 S を仮定せずに Hotelling の T² = N m′ S⁻¹ m で検定します。"
    "F = (N − k) T² / (k (N − 1))、自由度 (k, N − k)。球面性の仮定は要りませんが、N − 1 が k 以上でなければ"
    "定義されません。");
const char* const kDesignMultivariate = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "被験者内効果 (と被験者間要因との交互作用) ごとに、その正規直交 Helmert 対比を被験者ごとに求め、"
    "仮説の積和行列 H を、群内でプールした対比の積和行列 E (自由度 N − g、g は群の数) に対して検定します。"
    "Pillai のトレース、Wilks のラムダ、Hotelling-Lawley のトレース、Roy の最大根と、その F 近似 (Roy の F "
    "は上限) です。球面性の仮定は要りませんが、N − g が対比の数より小さいと定義されません。");
const char* const kStudyChecks = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "各誤差層の残差 (被験者 S: m(s) − m、A x S: m(s,a) − m(s) − m(a) + m、B x S も同様、A x B x S: "
    "y − m(s,a) − m(s,b) − m(a,b) + m(s) + m(a) + m(b) − m) の正規性を Shapiro-Wilk 検定 (Royston 1995 の "
    "AS R94、3〜5000 個) で確かめ、残差をその層の √(平方和 / 個数) で割ったスチューデント化残差が 3 を超える"
    "被験者を行番号で挙げます。セルの歪度 G1 と超過尖度 G2 は各セルの得点の調整済み標本統計量です。");
const char* const kDesignChecks = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "各誤差層 (群内の被験者 S と、被験者内効果ごとの「効果 × S」) の残差の正規性を Shapiro-Wilk 検定 "
    "(Royston 1995 の AS R94、3〜5000 個) で確かめ、スチューデント化残差 "
    "(群の大きさによるてこ比で割ったもの) "
    "が 3 を超える被験者を挙げます。セルの歪度 G1 と超過尖度 G2 は各セルの得点の調整済み標本統計量です。"
    "被験者間要因があれば、被験者内セルごとに群の間の等分散性を Levene の検定 (平均を中心、中央値を中心) "
    "で確かめ、被験者内要因もあれば、全被験者内セルにわたる群の共分散行列の等質性を Box の M 検定 "
    "(χ² 近似と F 近似) で確かめます。");
const char* const kStudyRanks = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "Friedman 検定は被験者ごとに k 個の値へ順位 (同順位は平均順位) を付け、順位和 R_j から "
    "Q = 12 Σ (R_j − n (k + 1) / 2)² / (n k (k + 1) − Σ (t³ − t) / (k − 1)) を自由度 k − 1 "
    "のカイ二乗で検定します。"
    "Kendall の W = Q / (n (k − 1))、Iman-Davenport の F = (n − 1) Q / (n (k − 1) − Q)。整列順位変換 "
    "(Wobbrock ら 2011) は効果ごとに、セル平均からの残差にその効果の推定値を足した応答に全体で順位を付け、"
    "その順位を分散分析してその効果の誤差層 (A は A x S、B は B x S、A x B は A x B x S) で検定します。"
    "その対比 (ART-C、Elkin ら 2021) は A (B) の水準の対を A (B) に整列した平均順位の差で比べ、"
    "t = 差 / √(2 MSE / (n b)) をその誤差層の自由度で検定します。");
const char* const kDesignRanks = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "Friedman 検定は被験者内要因ごとに、各被験者のその水準の平均 (他の被験者内要因で平均) に順位 "
    "(同順位は平均順位) を付けて検定し、被験者内要因が 2 つ以上なら被験者内セル全体も 1 つの要因として"
    "検定します。整列順位変換 (Wobbrock ら 2011) は被験者内効果ごとに、セル平均からの残差にその効果の推定値"
    "を足した応答に全体で順位を付け、その順位を分散分析して「効果 × S」で検定します。その対比 (ART-C、"
    "Elkin ら 2021) は要因の水準の対を平均順位の差で比べ、要因の中で Holm の調整をします。");

constexpr const char* kRobustness = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "各効果を、補正なし、Greenhouse–Geisser、Huynh–Feldt、下限による自由度の修正、多変量検定 (Pillai "
    "のトレース) と順位検定のそれぞれの p 値で表題の α のもとに判定し、判定が一致するかを示します。p "
    "値は他のページの表と同じものです。");

constexpr const char* kPlanning = QT_TRANSLATE_NOOP(
    "morvane::ResultsPages",
    "同じような研究を繰り返すときに必要な総 N を、各効果の偏 η² (とその区間の下限) から、誤差層の測定間の"
    "平均相関 ρ と Greenhouse–Geisser の ε を使って、検出力計算プログラムの流儀 (morvane power と同じ) で"
    "求めます。効果を選んで「検出力…」で、その値を入れた検出力の計算を開きます。");

// A page: its caption in each layout, the tables it holds in their order, the sentence it opens with.
struct PageKind {
    const char* study;
    const char* design;
    std::vector<std::string> ids;
    const char* studyText = nullptr;
    const char* designText = nullptr;
};

// The pages in their order; the Q-Q plots' page goes after the checks'.
const std::vector<PageKind>& Pages() {
    static const std::vector<PageKind> pages{
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "分散分析"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "分散分析"),
         {"Summary", "Sphericity"}},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "平均"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "平均"),
         {"CellMeans", "MeansA", "MeansB", "MarginalMeans"}},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "対ごとの比較"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "対ごとの比較"),
         {"Comparisons", "CellComparisons"}},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "単純主効果"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "単純効果"),
         {"SimpleEffects", "SimpleInteractions"}},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "対比"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "対比"),
         {"Contrasts"}},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "多変量検定"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "多変量検定"),
         {"Multivariate"},
         kStudyMultivariate,
         kDesignMultivariate},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "前提の確認"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "前提の確認"),
         {"Residuals", "Normality", "Outlying", "CellShape", "Levene", "BoxM"},
         kStudyChecks,
         kDesignChecks},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "順位検定"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "順位検定"),
         {"Friedman", "AlignedRanks", "AlignedRankContrasts"},
         kStudyRanks,
         kDesignRanks},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "判定の頑健性"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "判定の頑健性"),
         {"Robustness"},
         kRobustness,
         kRobustness},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "計画"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "計画"),
         {"Planning"},
         kPlanning,
         kPlanning},
        {QT_TRANSLATE_NOOP("morvane::ResultsPages", "精度"),
         QT_TRANSLATE_NOOP("morvane::ResultsPages", "精度"),
         {"Precision"}},
    };
    return pages;
}
constexpr std::size_t kQuantilesAfter = 6;  // 前提の確認

const TableText* Named(const std::vector<TableText>& tables, const std::string& id) {
    for (const TableText& t : tables)
        if (t.id == id) return &t;
    return nullptr;
}

// A page's text: its description, a table's notes, a plot's caption.
QLabel* Paragraph(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Lines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) out.append(QString::fromStdString(line));
    return out.join(QLatin1Char('\n'));
}

}  // namespace

ResultsPages::ResultsPages(QWidget* parent, std::function<bool()> copyCheck, QList<QAction*> summaryActions)
    : QTabWidget(parent), copyCheck_(std::move(copyCheck)), summaryActions_(std::move(summaryActions)) {
    setObjectName(QStringLiteral("Pages"));
    quantilePage_ = MakeQuantilePage();
}

ResultsPages::~ResultsPages() = default;

void ResultsPages::Show(const std::vector<TableText>& tables, OutputLayout layout,
                        plot::QuantilePlotData quantiles) {
    quantilePlot_->SetData(std::move(quantiles));
    quantileCaption_->setText(plot::QuantilePlotCaption(quantilePlot_->Data()));
    ShowTables(tables, layout);
}

void ResultsPages::ShowTables(const std::vector<TableText>& tables, OutputLayout layout) {
    std::vector<std::string> ids;
    for (const PageKind& kind : Pages())
        for (const std::string& id : kind.ids)
            if (Named(tables, id) != nullptr) ids.push_back(id);
    if (ids == shownIds_ && layout == shownLayout_ && count() > 0) {
        for (const ShownTable& shown : tables_) Fill(shown, *Named(tables, shown.id));
        return;
    }
    shownIds_ = std::move(ids);
    shownLayout_ = layout;
    MakePages(tables, layout);
}

const plot::QuantilePlotData& ResultsPages::Quantiles() const {
    return quantilePlot_->Data();
}

// A page's resize: its tables as tall as their rows, none taller than the
// page shows under a table's title, so that the page scrolls rather than a table
// unless that table alone is longer than the page.
bool ResultsPages::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        if (auto* scroll = qobject_cast<QScrollArea*>(watched->parent())) {
            const int title = 2 * fontMetrics().height();
            const int most = scroll->viewport()->height() - title - 24;
            for (AnalysisTableView* view : scroll->widget()->findChildren<AnalysisTableView*>())
                view->SetMostHeight(most);
        }
    return QTabWidget::eventFilter(watched, event);
}

// Show, when the tables are not those shown: every page made anew but the Q-Q plots'.
void ResultsPages::MakePages(const std::vector<TableText>& tables, OutputLayout layout) {
    const QString current = currentIndex() >= 0 ? tabText(currentIndex()) : QString();
    tables_.clear();
    while (count() > 0) {
        QWidget* page = widget(0);
        removeTab(0);
        if (page != quantilePage_) delete page;
    }
    const bool study = layout == OutputLayout::Study;
    for (std::size_t k = 0; k < Pages().size(); ++k) {
        const PageKind& kind = Pages()[k];
        std::vector<const TableText*> held;
        for (const std::string& id : kind.ids)
            if (const TableText* t = Named(tables, id)) held.push_back(t);
        if (!held.empty()) {
            auto* scroll = new QScrollArea(this);
            scroll->setWidgetResizable(true);
            scroll->setFrameShape(QFrame::NoFrame);
            auto* inner = new QWidget(scroll);
            auto* column = new QVBoxLayout(inner);
            if (const char* text = study ? kind.studyText : kind.designText)
                column->addWidget(Paragraph(inner, tr(text)));
            for (const TableText* t : held) AddTable(column, *t);
            if (Named(tables, "Planning") != nullptr && kind.ids.front() == "Planning")
                AddPowerButton(column);
            column->addStretch();
            scroll->setWidget(inner);
            scroll->viewport()->installEventFilter(this);
            addTab(scroll, tr(study ? kind.study : kind.design));
        }
        if (k == kQuantilesAfter) addTab(quantilePage_, tr("Q-Q プロット"));
    }
    for (int i = 0; i < count(); ++i)
        if (tabText(i) == current) setCurrentIndex(i);
}

void ResultsPages::AddTable(QVBoxLayout* page, const TableText& table) {
    QWidget* inner = page->parentWidget();
    const QString name = QString::fromStdString(table.id) + QStringLiteral("Table");
    auto* title = new QLabel(inner);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setObjectName(name + QStringLiteral("Title"));
    auto* view = new AnalysisTableView(inner);
    view->setObjectName(name);
    view->SetCopyCheck(copyCheck_);
    auto* model = new AnalysisTableModel(view);
    view->setModel(model);
    if (table.id == "Summary") {
        auto* separator = new QAction(view);
        separator->setSeparator(true);
        view->addAction(separator);
        view->addActions(summaryActions_);
    }
    page->addWidget(title);
    page->addWidget(view);
    QLabel* notes = nullptr;
    if (table.id != "Precision") {  // said above the tables
        notes = Paragraph(inner, {});
        notes->setObjectName(name + QStringLiteral("Notes"));
        page->addWidget(notes);
    }
    const ShownTable shown{table.id, title, view, model, notes};
    tables_.push_back(shown);
    Fill(shown, table);
}

void ResultsPages::Fill(const ShownTable& shown, const TableText& table) {
    shown.model->SetTable(table);
    shown.title->setText(QString::fromStdString(table.title));
    shown.view->FitColumns();
    if (shown.notes != nullptr) {
        shown.notes->setText(Lines(table.notes));
        shown.notes->setVisible(!table.notes.empty());
    }
}

// MakePages, on the planning page: 検出力… asks for the calculator of the
// effect whose row is current (the first where none is).
void ResultsPages::AddPowerButton(QVBoxLayout* page) {
    QWidget* inner = page->parentWidget();
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(tr("検出力…"), inner);
    button->setObjectName(QStringLiteral("PowerButton"));
    button->setToolTip(tr("選んだ効果の値を入れて検出力の計算を開きます"));
    row->addWidget(button);
    row->addStretch();
    page->addLayout(row);
    connect(button, &QPushButton::clicked, this, [this] {
        int current = 0;
        for (const ShownTable& shown : tables_)
            if (shown.id == "Planning" && shown.view->currentIndex().isValid())
                current = shown.view->currentIndex().row();
        emit powerRequested(current);
    });
}

// The constructor: the page scrolls, so that a small window still shows the
// plots at their least size.
QWidget* ResultsPages::MakeQuantilePage() {
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("QuantilePage"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    auto* layout = new QVBoxLayout(page);
    auto* title = new QLabel(tr("残差の正規 Q-Q プロット"), page);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    quantilePlot_ = new QuantilePlotView(page);
    quantilePlot_->setObjectName(QStringLiteral("QuantilePlot"));
    layout->addWidget(quantilePlot_, 1);
    quantileCaption_ = Paragraph(page, {});
    quantileCaption_->setObjectName(QStringLiteral("QuantilePlotCaption"));
    layout->addWidget(quantileCaption_);
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(tr("Q-Q プロットを書き出し…"), page);
    button->setObjectName(QStringLiteral("ExportQuantilePlotButton"));
    button->setToolTip(tr("この Q-Q プロットを PNG 画像、SVG、PDF のファイルに書き出します"));
    row->addWidget(button);
    row->addStretch();
    layout->addLayout(row);
    scroll->setWidget(page);
    connect(button, &QPushButton::clicked, this, &ResultsPages::exportQuantilesRequested);
    return scroll;
}

}  // namespace morvane

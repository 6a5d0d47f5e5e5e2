#include "analysiswindow/AnalysisWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTime>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "analysiswindow/AnalysisExport.h"
#include "analysiswindow/AnalysisTableModel.h"
#include "analysiswindow/InteractionPlotView.h"
#include "analysiswindow/QuantilePlotView.h"
#include "analysiswindow/WindowPlacement.h"
#include "output/AnovaFormats.h"
#include "output/ModelCheckTables.h"
#include "output/ResultTables.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"

namespace morvane {
namespace {

// The size the window would like at least, and the least it is given beside the data window.
constexpr QSize kWantedSize{1280, 720};
constexpr QSize kLeastSize{720, 480};
// A larger free area gives it more, up to twice the area it would like.
constexpr qint64 kLargestArea = 2LL * 1280 * 720;
// Narrower than this, the plot goes below the tables.
constexpr int kPlotBesideWidth = 1200;

// How many rows a table shows before it scrolls: all of them, or as many as its page holds.
constexpr int kAllRows = INT_MAX;
constexpr int kFillsPage = 0;

QLabel* Title(QWidget* parent);
QLabel* Paragraph(QWidget* page, const QString& text);
QString Lines(const std::vector<std::string>& notes);

// What each page of the model checks does, in a sentence a reader can check against a textbook.
const char16_t* const kMultivariateText =
    u"各効果の k 個の正規直交 Helmert 対比 (A は a − 1 個、B は b − 1 個、A x B はその積) "
    u"を被験者ごとに求め、"
    u"その平均ベクトル m がゼロかを共分散 S を仮定せずに Hotelling の T² = N m′ S⁻¹ m で検定します。"
    u"F = (N − k) T² / (k (N − 1))、自由度 (k, N − k)。球面性の仮定は要りませんが、N − 1 が k 以上でなければ"
    u"定義されません。";
const char16_t* const kAssumptionsText =
    u"各誤差層の残差 (被験者 S: m(s) − m、A x S: m(s,a) − m(s) − m(a) + m、B x S も同様、A x B x S: "
    u"y − m(s,a) − m(s,b) − m(a,b) + m(s) + m(a) + m(b) − m) の正規性を Shapiro-Wilk 検定 (Royston 1995 の "
    u"AS R94、3〜5000 個) で確かめ、残差をその層の √(平方和 / 個数) で割ったスチューデント化残差が 3 を超える"
    u"被験者を行番号で挙げます。セルの歪度 G1 と超過尖度 G2 は各セルの得点の調整済み標本統計量です。";
const char16_t* const kRanksText =
    u"Friedman 検定は被験者ごとに k 個の値へ順位 (同順位は平均順位) を付け、順位和 R_j から "
    u"Q = 12 Σ (R_j − n (k + 1) / 2)² / (n k (k + 1) − Σ (t³ − t) / (k − 1)) を自由度 k − 1 "
    u"のカイ二乗で検定します。"
    u"Kendall の W = Q / (n (k − 1))、Iman-Davenport の F = (n − 1) Q / (n (k − 1) − Q)。整列順位変換 "
    u"(Wobbrock ら 2011) は効果ごとに、セル平均からの残差にその効果の推定値を足した応答に全体で順位を付け、"
    u"その順位を分散分析してその効果の誤差層 (A は A x S、B は B x S、A x B は A x B x S) で検定します。"
    u"その対比 (ART-C、Elkin ら 2021) は A (B) の水準の対を A (B) に整列した平均順位の差で比べ、"
    u"t = 差 / √(2 MSE / (n b)) をその誤差層の自由度で検定します。";

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator)
    : QWidget(owner, Qt::Window), seams_(seams), decimalSeparator_(decimalSeparator) {
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral(u"分析結果"));
    setFont(widgets::FormWindow::WindowFont());
    resize(kWantedSize);

    auto* layout = new QVBoxLayout(this);
    staleNotice_ = new QLabel(this);
    staleNotice_->setObjectName(QStringLiteral("OutOfDateNotice"));
    staleNotice_->setWordWrap(true);
    staleNotice_->setTextFormat(Qt::PlainText);
    staleNotice_->setStyleSheet(
        QStringLiteral("QLabel { background: #f8d7da; color: #58151c; border: 1px solid "
                       "#e4a1a8; padding: 6px; font-weight: bold; }"));
    staleNotice_->hide();
    layout->addWidget(staleNotice_);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("PrecisionNotice"));
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setStyleSheet(
        QStringLiteral("QLabel { background: #fff3cd; color: #5c4400; border: 1px solid "
                       "#e0c36a; padding: 6px; }"));
    notice_->hide();
    layout->addWidget(notice_);
    removedNotice_ = new QLabel(this);
    removedNotice_->setObjectName(QStringLiteral("RemovedSubjectsNotice"));
    removedNotice_->setWordWrap(true);
    removedNotice_->setTextFormat(Qt::PlainText);
    removedNotice_->setStyleSheet(QStringLiteral("QLabel { border: 1px solid #b6c2cf; padding: 6px; }"));
    removedNotice_->hide();
    layout->insertWidget(layout->indexOf(staleNotice_) + 1, removedNotice_);

    auto* splitter = splitter_ = new QSplitter(Qt::Horizontal, this);
    auto* pages = new QTabWidget(splitter);
    pages->setObjectName(QStringLiteral("Pages"));
    const auto page = [&](const QString& caption) {
        auto* scroll = new QScrollArea(pages);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* inner = new QWidget(scroll);
        new QVBoxLayout(inner);
        scroll->setWidget(inner);
        pages->addTab(scroll, caption);
        return inner;
    };
    QWidget* anova = page(QStringLiteral(u"分散分析"));
    AddTable(anova, "Summary", kAllRows);
    AddTable(anova, "Sphericity", kAllRows);
    sphericityNote_ = new QLabel(anova);
    sphericityNote_->setObjectName(QStringLiteral("SphericityNote"));
    sphericityNote_->setWordWrap(true);
    anova->layout()->addWidget(sphericityNote_);
    static_cast<QVBoxLayout*>(anova->layout())->addStretch();
    QWidget* means = page(QStringLiteral(u"平均"));
    AddTable(means, "CellMeans", 24);
    AddTable(means, "MeansA", kAllRows);
    AddTable(means, "MeansB", kAllRows);
    static_cast<QVBoxLayout*>(means->layout())->addStretch();
    AddTable(page(QStringLiteral(u"対ごとの比較")), "Comparisons", kFillsPage);
    AddTable(page(QStringLiteral(u"単純主効果")), "SimpleEffects", kFillsPage);
    QWidget* multivariate = page(QStringLiteral(u"多変量検定"));
    Paragraph(multivariate, QString::fromUtf16(kMultivariateText));
    AddTable(multivariate, "Multivariate", kAllRows, WithNotes);
    static_cast<QVBoxLayout*>(multivariate->layout())->addStretch();
    QWidget* assumptions = page(QStringLiteral(u"前提の確認"));
    Paragraph(assumptions, QString::fromUtf16(kAssumptionsText));
    AddTable(assumptions, "Residuals", kAllRows, WithNotes);
    AddTable(assumptions, "Outlying", 8, WithNotes);
    AddQuantilePlot(assumptions);
    AddTable(assumptions, "CellShape", 12);
    static_cast<QVBoxLayout*>(assumptions->layout())->addStretch();
    QWidget* ranks = page(QStringLiteral(u"順位検定"));
    Paragraph(ranks, QString::fromUtf16(kRanksText));
    AddTable(ranks, "Friedman", kAllRows, WithNotes);
    AddTable(ranks, "AlignedRanks", kAllRows, WithNotes);
    AddTable(ranks, "AlignedRankContrasts", 12, WithNotes);
    static_cast<QVBoxLayout*>(ranks->layout())->addStretch();
    QWidget* precision = page(QStringLiteral(u"精度"));
    AddTable(precision, "Precision", kAllRows);
    static_cast<QVBoxLayout*>(precision->layout())->addStretch();

    QWidget* plotPane = MakePlotPane(splitter);
    splitter->addWidget(pages);
    splitter->addWidget(plotPane);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({820, 440});
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    auto* buttons = new QHBoxLayout;
    AddCopyActions(buttons);
    buttons->addStretch();
    auto* exportButton = new QPushButton(QStringLiteral(u"書き出し…"), this);
    exportButton->setObjectName(QStringLiteral("ExportButton"));
    auto* closeButton = new QPushButton(QStringLiteral(u"閉じる"), this);
    closeButton->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(exportButton, &QPushButton::clicked, this, &AnalysisWindow::Export);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

AnalysisWindow::~AnalysisWindow() = default;

void AnalysisWindow::Show(FullAnalysis analysis, Provenance provenance) {
    analysis_ = std::move(analysis);
    provenance_ = std::move(provenance);
    outOfDate_ = false;
    analysedAt_ = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    staleNotice_->hide();
    removedNotice_->setText(QString::fromStdString(RemovedSubjectsNote(
        analysis_.subjects, analysis_.subjectsRead, analysis_.removed, OutputLanguage::Japanese)));
    removedNotice_->setVisible(!analysis_.removed.empty());
    std::vector<TableText> texts = TableTexts(analysis_, TableReader::Window, decimalSeparator_);
    for (TableText& table : ModelCheckTables(analysis_, TableReader::Window, {}, decimalSeparator_))
        texts.push_back(std::move(table));
    for (const ShownTable& shown : tables_) {
        // A page of a table the analysis has none of (no subjects) shows it empty.
        shown.model->SetTable({});
        if (shown.notes != nullptr) shown.notes->hide();
    }
    for (const TableText& table : texts) {
        if (table.id == "Sphericity") sphericityNote_->setText(Lines(table.notes));
        if (table.id == "Precision") {
            notice_->setText(Lines(table.notes));
            notice_->setVisible(!table.notes.empty());
        }
        for (const ShownTable& shown : tables_) {
            if (shown.id != table.id) continue;
            shown.model->SetTable(table);
            shown.title->setText(QString::fromStdString(table.title));
            shown.view->FitColumns();
            if (shown.notes != nullptr) {
                shown.notes->setText(Lines(table.notes));
                shown.notes->setVisible(!table.notes.empty());
            }
            const int rows = static_cast<int>(table.rows.size());
            if (shown.rowsShown != kFillsPage) shown.view->FitRows(std::min(rows, shown.rowsShown));
        }
    }
    SetErrorBars(static_cast<plot::ErrorBars>(errorBars_->currentData().toInt()));
    quantilePlot_->SetData(plot::QuantilePlotDataOf(analysis_, decimalSeparator_));
    quantileCaption_->setText(plot::QuantilePlotCaption(quantilePlot_->Data()));

    if (!placed_) PlaceBesideOwner();
    placed_ = true;
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void AnalysisWindow::MarkOutOfDate(Staleness why) {
    outOfDate_ = true;
    const QString text =
        why == Staleness::AnalysisStopped
            ? QStringLiteral(
                  u"分析は不正な得点で止まりました。ここに示す結果は %1 の分析のもので、"
                  u"今のデータのものではありません。")
            : QStringLiteral(
                  u"データが変更されました。ここに示す結果は %1 の分析 (最後の変更の前) のもの"
                  u"です。「分  析」を押すと今のデータで計算し直します。");
    staleNotice_->setText(text.arg(analysedAt_));
    staleNotice_->show();
}

bool AnalysisWindow::MayUseFigures(const QString& what) {
    if (!outOfDate_) return true;
    return seams_.messages->AskYesNo(
        this,
        QStringLiteral(u"この結果は %1 の分析のもので、その後のデータの変更を含みません。それでも%2しますか?")
            .arg(analysedAt_, what));
}

void AnalysisWindow::Export() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(QStringLiteral(u"書き出し"))) return;
        ExportToChosenFile(seams_, this, exported_, exportName_, QStringLiteral(u"書き出し"),
                           ExportNameFilters(), studyFile_, [this](const QString& path) {
                               OutputOptions options = CopyOptions();
                               options.provenance = provenance_;
                               ExportAnalysis(analysis_, plot_->Data(), path, options);
                           });
    });
}

void AnalysisWindow::ExportQuantilePlot() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(QStringLiteral(u"書き出し"))) return;
        ExportToChosenFile(seams_, this, exported_, quantileName_, QStringLiteral(u"Q-Q プロットの書き出し"),
                           QuantilePlotNameFilters(), studyFile_, [this](const QString& path) {
                               morvane::ExportQuantilePlot(quantilePlot_->Data(), path);
                           });
    });
}

void AnalysisWindow::CopyTable() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(QStringLiteral(u"コピー"))) return;
        QApplication::clipboard()->setMimeData(SummaryTableMime(analysis_, CopyOptions()).release());
    });
}

void AnalysisWindow::CopySentences() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(QStringLiteral(u"コピー"))) return;
        QApplication::clipboard()->setText(SentencesText(analysis_, CopyOptions()));
    });
}

ApaOptions AnalysisWindow::CopyOptions() const {
    ApaOptions options;
    options.language = english_->isChecked() ? OutputLanguage::English : OutputLanguage::Japanese;
    return options;
}

void AnalysisWindow::SetErrorBars(plot::ErrorBars bars) {
    const int index = errorBars_->findData(static_cast<int>(bars));
    if (index != errorBars_->currentIndex()) errorBars_->setCurrentIndex(index);  // comes back here
    plot_->SetData(plot::PlotDataOf(analysis_, decimalSeparator_, bars));
    plotCaption_->setText(plot::PlotCaption(plot_->Data()));
}

// The constructor: the plot above the choice of its bars and its caption.
QWidget* AnalysisWindow::MakePlotPane(QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new InteractionPlotView(pane);
    plot_->setObjectName(QStringLiteral("InteractionPlot"));
    layout->addWidget(plot_, 1);
    auto* choice = new QHBoxLayout;
    errorBars_ = AddErrorBarsChoice(pane, choice);
    choice->addStretch();
    layout->addLayout(choice);
    plotCaption_ = new QLabel(pane);
    plotCaption_->setObjectName(QStringLiteral("PlotCaption"));
    plotCaption_->setWordWrap(true);
    plotCaption_->setTextFormat(Qt::PlainText);
    layout->addWidget(plotCaption_);
    connect(errorBars_, &QComboBox::currentIndexChanged, this, [this](int index) {
        SetErrorBars(static_cast<plot::ErrorBars>(errorBars_->itemData(index).toInt()));
    });
    return pane;
}

// The constructor: the actions, each a button too; the copies also in the
// summary table's menu, after its コピー.
void AnalysisWindow::AddCopyActions(QLayout* buttons) {
    auto* copyTable = new QAction(QStringLiteral(u"表をコピー"), this);
    copyTable->setObjectName(QStringLiteral("CopyTableAction"));
    copyTable->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    copyTable->setShortcutContext(Qt::WindowShortcut);
    copyTable->setToolTip(QStringLiteral(u"分散分析表をワープロに表として貼り付けられる形でコピーします"));
    connect(copyTable, &QAction::triggered, this, &AnalysisWindow::CopyTable);
    auto* copySentences = new QAction(QStringLiteral(u"報告文をコピー"), this);
    copySentences->setObjectName(QStringLiteral("CopySentencesAction"));
    copySentences->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    copySentences->setShortcutContext(Qt::WindowShortcut);
    copySentences->setToolTip(QStringLiteral(u"効果ごとの報告文 (F、p、効果量) をコピーします"));
    connect(copySentences, &QAction::triggered, this, &AnalysisWindow::CopySentences);
    english_ = new QAction(QStringLiteral(u"英語で出力"), this);
    english_->setObjectName(QStringLiteral("EnglishAction"));
    english_->setCheckable(true);
    english_->setToolTip(QStringLiteral(u"コピーする表と報告文、書き出す表を英語にします"));
    addActions({copyTable, copySentences, english_});

    for (const ShownTable& shown : tables_)
        if (shown.id == "Summary") {
            auto* separator = new QAction(shown.view);
            separator->setSeparator(true);
            shown.view->addActions({separator, copyTable, copySentences, english_});
        }
    for (QAction* action : {copyTable, copySentences}) {
        auto* button = new QPushButton(action->text(), this);
        button->setObjectName(
            action->objectName().replace(QStringLiteral("Action"), QStringLiteral("Button")));
        button->setToolTip(action->toolTip() + QStringLiteral(" (") +
                           action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        buttons->addWidget(button);
    }
    auto* english = new QCheckBox(english_->text(), this);
    english->setObjectName(QStringLiteral("EnglishCheck"));
    english->setToolTip(english_->toolTip());
    connect(english, &QCheckBox::toggled, english_, &QAction::setChecked);
    connect(english_, &QAction::toggled, english, &QCheckBox::setChecked);
    buttons->addWidget(english);
}

void AnalysisWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const Qt::Orientation wanted = width() < kPlotBesideWidth ? Qt::Vertical : Qt::Horizontal;
    if (splitter_->orientation() == wanted) return;
    splitter_->setOrientation(wanted);
    // The tables take three parts of the room, the plot two.
    const int room = wanted == Qt::Horizontal ? splitter_->width() : splitter_->height();
    splitter_->setSizes({room * 3 / 5, room - room * 3 / 5});
}

// Show, the first time: as large as it likes where the screen has room for
// it beside the data window, in frame pixels as the data window's frame has
// them (a window not yet shown has none of its own).
void AnalysisWindow::PlaceBesideOwner() {
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QScreen* shown = owner != nullptr ? owner->screen() : screen();
    if (shown == nullptr) return;
    const QRect ownerFrame =
        owner != nullptr ? owner->frameGeometry() : QRect(shown->availableGeometry().topLeft(), QSize(0, 0));
    const QRect ownerClient = owner != nullptr ? owner->geometry() : ownerFrame;
    const QSize frame(ownerFrame.width() - ownerClient.width(), ownerFrame.height() - ownerClient.height());
    const QSize least = kLeastSize.expandedTo(minimumSizeHint());
    const QRect placed = PlaceBeside(
        shown->availableGeometry(), ownerFrame,
        WantedSize(shown->availableGeometry().size(), kWantedSize + frame, kLargestArea), least + frame);
    resize(placed.size() - frame);
    move(placed.topLeft());
}

// The constructor: the Q-Q plots of the residuals, their caption and their export.
void AnalysisWindow::AddQuantilePlot(QWidget* page) {
    QLabel* title = Title(page);
    title->setText(QStringLiteral(u"残差の正規 Q-Q プロット"));
    page->layout()->addWidget(title);
    quantilePlot_ = new QuantilePlotView(page);
    quantilePlot_->setObjectName(QStringLiteral("QuantilePlot"));
    page->layout()->addWidget(quantilePlot_);
    quantileCaption_ = Paragraph(page, QString());
    quantileCaption_->setObjectName(QStringLiteral("QuantilePlotCaption"));
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(QStringLiteral(u"Q-Q プロットを書き出し…"), page);
    button->setObjectName(QStringLiteral("ExportQuantilePlotButton"));
    row->addWidget(button);
    row->addStretch();
    static_cast<QVBoxLayout*>(page->layout())->addLayout(row);
    connect(button, &QPushButton::clicked, this, &AnalysisWindow::ExportQuantilePlot);
}

// The constructor, for each table of the analysis.
void AnalysisWindow::AddTable(QWidget* page, const char* id, int rowsShown, bool withNotes) {
    const QString name = QString::fromLatin1(id) + QStringLiteral("Table");
    QLabel* title = Title(page);
    title->setObjectName(name + QStringLiteral("Title"));
    page->layout()->addWidget(title);
    auto* view = new AnalysisTableView(page);
    view->setObjectName(name);
    view->SetCopyCheck([this] { return MayUseFigures(QStringLiteral(u"コピー")); });
    auto* model = new AnalysisTableModel(view);
    view->setModel(model);
    page->layout()->addWidget(view);
    QLabel* notes = nullptr;
    if (withNotes) {
        notes = Paragraph(page, QString());
        notes->setObjectName(name + QStringLiteral("Notes"));
        notes->hide();
    }
    tables_.push_back({id, rowsShown, title, view, model, notes});
}

namespace {

// AddTable: the bold label above a table, its text set by Show.
QLabel* Title(QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A page's text: its description, a table's notes, a plot's caption.
QLabel* Paragraph(QWidget* page, const QString& text) {
    auto* label = new QLabel(text, page);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page->layout()->addWidget(label);
    return label;
}

// Show, for the notes of the tables.
QString Lines(const std::vector<std::string>& notes) {
    QStringList lines;
    for (const std::string& note : notes) lines.append(QString::fromStdString(note));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

}  // namespace morvane

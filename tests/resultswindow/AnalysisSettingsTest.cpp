// The results window's 分析の設定: the follow-ups chosen in the dialog
// analysed again and shown on the window's pages, kept through a re-reading,
// named in the command that the tool runs to the same figures; and a bad
// field refused with the tool's sentence, the earlier choice kept.

#include <sys/wait.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "exchange/LongCsv.h"
#include "output/AnovaFormats.h"
#include "resultswindow/AnalysisSettingsDialog.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "widgets/QtTranslation.h"

using namespace morvane;

namespace {

const std::string kMixed = MORVANE_EXAMPLES "/mixed-design.csv";

QByteArray FileBytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

const TableText* TableNamed(const std::vector<TableText>& tables, const std::string& id) {
    for (const TableText& t : tables)
        if (t.id == id) return &t;
    return nullptr;
}

bool HeaderHas(const TableText& table, const std::string& heading) {
    for (const std::string& h : table.header)
        if (h.find(heading) != std::string::npos) return true;
    return false;
}

}  // namespace

class AnalysisSettingsTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    std::unique_ptr<QWidget> owner_;
    ResultsWindow* window_ = nullptr;

    // The window of the mixed design (group between, time within), as the roles dialog opens it.
    void Open() {
        owner_ = std::make_unique<QWidget>();
        window_ = new ResultsWindow(owner_.get(), seams_.Seams(), '.');
        CsvSource source{kMixed, {"subject", "score", {"time"}, {"group"}}, {}};
        const QByteArray bytes = FileBytesOf(kMixed);
        window_->ShowCsv(source, bytes.toStdString(), ReadLongCsv(bytes.toStdString(), source.roles));
    }
    // Holm and Šidák, equal effect sizes plus omega2, time's trends at 0,1,3 and
    // a contrast of it, group × time's cells, alpha .01: through the dialog's fields.
    void ChooseRichSettings(AnalysisSettingsDialog* dialog) {
        testing::Find<QCheckBox>(dialog, "Adjust_bonferroni")->setChecked(false);
        testing::Find<QCheckBox>(dialog, "Adjust_sidak")->setChecked(true);
        testing::Find<QCheckBox>(dialog, "EffectSize_omega2")->setChecked(true);
        testing::Find<QCheckBox>(dialog, "Trend_1")->setChecked(true);
        testing::Find<QLineEdit>(dialog, "Spacing_1")->setText(QStringLiteral("0, 1, 3"));
        testing::Find<QPlainTextEdit>(dialog, "Contrasts_1")
            ->setPlainText(QStringLiteral("pre vs rest: 2,-1,-1"));
        testing::Find<QCheckBox>(dialog, "Cells_0")->setChecked(true);
        testing::Find<QDoubleSpinBox>(dialog, "AlphaSpin")->setValue(0.01);
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
    }
    void cleanup() { owner_.reset(); }

    // The choice reaches the analysis and every table it adds a page; a
    // re-reading keeps it; the dialog shows it again; and the command the
    // window names gives, run by the tool, the JSON of the window's analysis.
    void TheChoiceIsAnalysedShownAndNamedInTheCommand() {
        Open();
        QVERIFY(TableNamed(window_->Tables(), "Contrasts") == nullptr);
        AnalysisSettingsDialog* dialog = window_->OpenAnalysisSettings();
        QVERIFY(testing::Find<QCheckBox>(dialog, "Adjust_holm")->isChecked());
        QVERIFY(testing::Find<QCheckBox>(dialog, "Adjust_bonferroni")->isChecked());
        QVERIFY(!testing::Find<QCheckBox>(dialog, "SimpleInteractions")->isEnabled());  // two factors
        ChooseRichSettings(dialog);
        testing::Button(dialog, "OkButton")->click();
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        QTRY_VERIFY(!window_->Analysis().options.contrasts.empty());

        const anova::Options& options = window_->Analysis().options;
        QVERIFY(options.adjustments.Has(Adjustment::Holm) && options.adjustments.Has(Adjustment::Sidak));
        QVERIFY(!options.adjustments.Has(Adjustment::Bonferroni));
        QCOMPARE(options.trends.size(), 1u);
        QCOMPARE(options.trends[0].scores.size(), 3u);
        QVERIFY(options.trends[0].scores[2] == 3);
        QCOMPARE(options.contrasts.size(), 1u);
        QCOMPARE(options.cellInteractions, (std::vector<std::vector<std::string>>{{"group", "time"}}));
        QVERIFY(options.alpha == 0.01L);

        // Each table the choice adds is on a page, with the columns chosen.
        for (const TableText& t : window_->Tables())
            QVERIFY2(window_->findChild<QWidget*>(QString::fromStdString(t.id) + QStringLiteral("Table")) !=
                         nullptr,
                     t.id.c_str());
        const TableText* contrasts = TableNamed(window_->Tables(), "Contrasts");
        QVERIFY(contrasts != nullptr);
        QCOMPARE(contrasts->rows.size(), 3u);  // linear, quadratic, the one given
        QVERIFY(std::find(contrasts->rows.back().begin(), contrasts->rows.back().end(), "pre vs rest") !=
                contrasts->rows.back().end());
        QVERIFY(TableNamed(window_->Tables(), "CellComparisons") != nullptr);
        QVERIFY(HeaderHas(*TableNamed(window_->Tables(), "Comparisons"), "Šidák"));
        QVERIFY(!HeaderHas(*TableNamed(window_->Tables(), "Comparisons"), "Bonferroni"));
        QVERIFY(HeaderHas(*TableNamed(window_->Tables(), "Summary"), "ω²"));

        const std::string command = *window_->AnalysedData().command;
        QVERIFY2(
            command.find(" --alpha 0.01 --adjust holm,sidak --effect-sizes omega2 --trend time "
                         "--spacing time=0,1,3 --contrast 'pre vs rest:time=2,-1,-1' --cells group:time") !=
                std::string::npos,
            command.c_str());
        const std::string json = dir_.File("tool.json");
        const std::string run = "LC_ALL=C " + std::string(MORVANE_TOOL) +
                                command.substr(std::string("morvane").size()) + " --format json " + json;
        const int raw = std::system(run.c_str());
        QVERIFY(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
        OutputOptions shown;
        shown.provenance = window_->AnalysedData();
        shown.provenance.command.reset();  // the tool's own call names none
        QCOMPARE(FileBytesOf(json).toStdString(),
                 FormatAnalysis(window_->Analysis(), AnovaFormat::Json, shown));

        // 再読み込み analyses with the choice; the dialog opens with it.
        window_->Reread();
        QCOMPARE(window_->Analysis().options.contrasts.size(), 1u);
        QVERIFY(TableNamed(window_->Tables(), "CellComparisons") != nullptr);
        dialog = window_->OpenAnalysisSettings();
        QVERIFY(!testing::Find<QCheckBox>(dialog, "Adjust_bonferroni")->isChecked());
        QCOMPARE(testing::Find<QLineEdit>(dialog, "Spacing_1")->text(), QStringLiteral("0,1,3"));
        QCOMPARE(testing::Find<QPlainTextEdit>(dialog, "Contrasts_1")->toPlainText(),
                 QStringLiteral("pre vs rest: 2,-1,-1"));
        QVERIFY(testing::Find<QCheckBox>(dialog, "Cells_0")->isChecked());
        dialog->reject();
    }

    // Each spacing field shows its whole placeholder inside its frame and
    // margins, in the Japanese windows and in the English ones.
    void TheSpacingsPlaceholderShowsWholeInEitherLanguage() {
        std::unique_ptr<QTranslator> english;
        for (const bool inEnglish : {false, true}) {
            if (inEnglish)
                english.reset(widgets::InstallEnglishTranslation(*qApp, widgets::BuiltInEnglishTranslation()));
            QVERIFY(english != nullptr || !inEnglish);
            Open();
            AnalysisSettingsDialog* dialog = window_->OpenAnalysisSettings();
            QTRY_VERIFY(dialog->isVisible());
            for (const char* name : {"Spacing_0", "Spacing_1"}) {
                auto* spacing = testing::Find<QLineEdit>(dialog, name);
                const int inside =
                    spacing->width() - 2 * spacing->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
                const int wanted = spacing->fontMetrics().horizontalAdvance(spacing->placeholderText());
                QVERIFY2(wanted <= inside, qPrintable(QStringLiteral("%1: %2 of %3 pixels")
                                                          .arg(spacing->placeholderText())
                                                          .arg(wanted)
                                                          .arg(inside)));
            }
            dialog->reject();
            owner_.reset();
        }
    }

    // Weights that do not sum to 0, too few weights and a spacing that is no
    // number: each refused with the tool's sentence, its field focused, the
    // dialog open with what was typed, the analysis shown as it was.
    void ABadFieldIsRefusedAndTheChoiceKept() {
        Open();
        AnalysisSettingsDialog* dialog = window_->OpenAnalysisSettings();
        auto* contrasts = testing::Find<QPlainTextEdit>(dialog, "Contrasts_1");
        auto* spacing = testing::Find<QLineEdit>(dialog, "Spacing_1");
        struct Case {
            QString contrasts, spacing;
            QString message;
            QWidget* focused;
        } const cases[] = {
            {QStringLiteral("bad: 1,1,-1"),
             {},
             QStringLiteral("--contrast bad: the weights of time do not sum to 0"),
             contrasts},
            {QStringLiteral("1,-1"),
             {},
             QStringLiteral("--contrast time=1,-1 gives 2 weights for time, which has 3 levels"),
             contrasts},
            {{},
             QStringLiteral("0,1,x"),
             QStringLiteral("--spacing takes decimals or fractions, not \"x\": time=0,1,x"),
             spacing},
        };
        for (const Case& c : cases) {
            seams_.messages.Clear();
            contrasts->setPlainText(c.contrasts);
            testing::Find<QCheckBox>(dialog, "Trend_1")->setChecked(!c.spacing.isEmpty());
            spacing->setText(c.spacing);
            testing::Button(dialog, "OkButton")->click();
            QCOMPARE(seams_.messages.Shown(), QStringList{c.message});
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->focusWidget(), c.focused);
            QCOMPARE(contrasts->toPlainText(), c.contrasts);
            QVERIFY(window_->Analysis().options.contrasts.empty() &&
                    window_->Analysis().options.trends.empty());
        }
        // The tool refuses the same weights with the same sentence.
        const std::string err = dir_.File("err.txt");
        const std::string run =
            "LC_ALL=C " + std::string(MORVANE_TOOL) + " anova " + kMixed +
            " --id subject --dv score --within time --between group --contrast bad:time=1,1,-1 2> " + err;
        const int raw = std::system(run.c_str());
        QVERIFY(WIFEXITED(raw) && WEXITSTATUS(raw) != 0);
        QVERIFY(FileBytesOf(err).contains("--contrast bad: the weights of time do not sum to 0"));
        dialog->reject();
    }
};

int RunAnalysisSettingsTest(int argc, char** argv) {
    AnalysisSettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AnalysisSettingsTest.moc"
